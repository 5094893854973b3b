#include "procedures.h"

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <functional>

#include "allocations.h"
#include "computer/computer_seats.h"
#include "in_play.h"
#include "qt/scene_painter.h"
#include "scene/recording_host.h"
#include "scene/tick_schedule.h"

namespace voltaro::bench {

namespace {

void BM_tmrBall_Timer(benchmark::State& state) {
    InPlay match;
    for (auto _ : state) {
        match.form.tmrBall_Timer();
    }
    benchmark::DoNotOptimize(match.host.controls().shape("shpBall").Left());
}

void BM_tmrGoal_Timer(benchmark::State& state) {
    InPlay match;
    for (auto _ : state) {
        match.form.tmrGoal_Timer();
    }
}

void BM_Form_KeyDown(benchmark::State& state) {
    InPlay match;
    std::int16_t keys[] = {39, 37};  // red steps right and back
    std::size_t i = 0;
    for (auto _ : state) {
        match.form.Form_KeyDown(keys[i++ & 1], 0);
    }
}

void BM_PaintScene(benchmark::State& state) {
    const double ratio = static_cast<double>(state.range(0));
    RecordingHost host;
    ScenePainter scene(host.controls(), host.form().backColour);
    const QSize logical(847, 646);
    QImage image((QSizeF(logical) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    for (auto _ : state) {
        QPainter painter(&image);
        scene.paint(painter, ratio, QRect(QPoint(0, 0), logical));
    }
}

// What one ball tick asks of the painter: the ball's old and new boxes.
void BM_PaintBallTick(benchmark::State& state) {
    RecordingHost host;
    ScenePainter scene(host.controls(), host.form().backColour);
    QImage image(QSize(847, 646), QImage::Format_ARGB32_Premultiplied);
    const TwipBox ball = host.controls().shape("shpBall").box();
    const QRect region =
        ScenePainter::logicalBounds(ball) |
        ScenePainter::logicalBounds({ball.left + 20, ball.top + 20, ball.width, ball.height});
    for (auto _ : state) {
        QPainter painter(&image);
        scene.paint(painter, 1.0, region);
    }
}

// What a computer player adds to a tick: shown the scene after each tick of a match in play,
// pressing when it chooses. Two hard players; the figure is per player.
void BM_ComputerPlayerPerTick(benchmark::State& state) {
    InPlay match;
    computer::ComputerSeats seats(match.host.controls(),
                                  computer::Seating{true, true, computer::Level::Hard, 1});
    std::chrono::nanoseconds now{0};
    for (auto _ : state) {
        now += TickSchedule::kShortestPeriod;
        seats.afterTick(
            now, [&](computer::Side, std::int16_t code) { match.form.Form_KeyDown(code, 0); });
        match.form.tmrBall_Timer();  // some 20 ns of the figure
    }
}

BENCHMARK(BM_tmrBall_Timer);
BENCHMARK(BM_ComputerPlayerPerTick);
BENCHMARK(BM_PaintBallTick)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_tmrGoal_Timer);
BENCHMARK(BM_Form_KeyDown);
BENCHMARK(BM_PaintScene)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

class Collector : public benchmark::ConsoleReporter {
  public:
    explicit Collector(ProcedureCosts& costs) : costs_(costs) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            costs_.nanosecondsPerCall[run.benchmark_name()] =
                run.real_accumulated_time * 1e9 / static_cast<double>(run.iterations);
        }
    }

  private:
    ProcedureCosts& costs_;
};

double allocationsPerCall(const std::function<void()>& call) {
    constexpr int kCalls = 10000;
    const auto before = allocationCount();
    for (int i = 0; i < kCalls; ++i) {
        call();
    }
    return static_cast<double>(allocationCount() - before) / kCalls;
}

}  // namespace

ProcedureCosts measureProcedures(int argc, char** argv) {
    ProcedureCosts costs;
    benchmark::Initialize(&argc, argv);
    Collector collector(costs);
    benchmark::RunSpecifiedBenchmarks(&collector);

    InPlay match;
    std::int16_t key = 39;
    costs.allocationsPerCall["tmrBall_Timer"] =
        allocationsPerCall([&] { match.form.tmrBall_Timer(); });
    costs.allocationsPerCall["tmrGoal_Timer"] =
        allocationsPerCall([&] { match.form.tmrGoal_Timer(); });
    costs.allocationsPerCall["Form_KeyDown"] = allocationsPerCall([&] {
        key = key == 39 ? 37 : 39;
        match.form.Form_KeyDown(key, 0);
    });
    return costs;
}

}  // namespace voltaro::bench
