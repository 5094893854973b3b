#include "session.h"

#include <sys/resource.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPaintEvent>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <vector>

#include "game/form1.h"
#include "qt/qt_host.h"

namespace voltaro::bench {

namespace {

using Duration = TickSchedule::Duration;

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double ms(Duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Stands between the host and the game's form, noting when each tick reaches a procedure: the
// host itself carries no measuring hook.
struct Recorder : FormEvents, QObject {
    explicit Recorder(FormEvents& form) : form(form) {}

    FormEvents& form;
    std::map<std::string, std::vector<Duration>> ticks;
    double cpuAtFirstTick = -1;  // play is measured from here: start-up has its own figure
    std::chrono::steady_clock::time_point firstTick;
    int paints = 0;
    double paintedPixels = 0;

    void Form_Load() override { form.Form_Load(); }
    void Form_KeyDown(std::int16_t& KeyCode, std::int16_t Shift) override {
        form.Form_KeyDown(KeyCode, Shift);
    }
    void tmrBall_Timer() override {
        tick("tmrBall");
        form.tmrBall_Timer();
    }
    void tmrGoal_Timer() override {
        tick("tmrGoal");
        form.tmrGoal_Timer();
    }

    void tick(const char* timer) {
        const auto now = std::chrono::steady_clock::now();
        if (cpuAtFirstTick < 0) {
            cpuAtFirstTick = cpuSeconds();
            firstTick = now;
        }
        auto& list = ticks[timer];
        if (list.capacity() == 0) {
            list.reserve(4096);
        }
        list.push_back(now - firstTick);
    }

    bool eventFilter(QObject*, QEvent* event) override {
        // The first paint is the whole window at start-up; after it, only what changes.
        if (event->type() == QEvent::Paint && paints++ > 0) {
            for (const QRect& r : static_cast<QPaintEvent*>(event)->region()) {
                paintedPixels += double(r.width()) * r.height();
            }
        }
        return false;
    }

    // Lateness is measured against the 64 Hz grid that the earliest tick lies on: each tick is
    // due at the grid point just before it.
    TimerFigures figures(const std::string& name) const {
        TimerFigures f;
        const auto found = ticks.find(name);
        if (found == ticks.end() || found->second.size() < 2) {
            return f;
        }
        const auto& list = found->second;
        f.ticks = static_cast<int>(list.size());
        f.meanPeriodMs = ms(list.back() - list.front()) / (list.size() - 1);
        constexpr double kPeriodMs = 1000.0 / 64;
        std::vector<double> offset;  // from the first tick's grid point
        offset.reserve(list.size());
        for (const Duration t : list) {
            const double since = ms(t - list.front());
            offset.push_back(since - std::round(since / kPeriodMs) * kPeriodMs);
        }
        const double onTime = *std::min_element(offset.begin(), offset.end());
        std::vector<double> lateness;
        lateness.reserve(list.size());
        for (const double o : offset) {
            lateness.push_back(o - onTime);
        }
        std::sort(lateness.begin(), lateness.end());
        f.medianLatenessMs = lateness[lateness.size() / 2];
        f.p99LatenessMs = lateness[std::min(lateness.size() - 1, lateness.size() * 99 / 100)];
        f.maxLatenessMs = lateness.back();
        return f;
    }
};

}  // namespace

SessionFigures playSession(double seconds) {
    QtHost host;
    Form1 game(host);
    Recorder recorder(game);
    host.window().installEventFilter(&recorder);

    QTimer player;  // a key that moves nobody keeps the ball's rebounds current
    player.setInterval(100);
    QObject::connect(&player, &QTimer::timeout, [&] {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, {}, " ");
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, {}, " ");
        QApplication::sendEvent(&host.window(), &press);
        QApplication::sendEvent(&host.window(), &release);
    });
    SessionFigures figures;
    QTimer answer;  // should the match be decided, the boxes are answered and the session ends
    answer.setInterval(250);  // seldom, so that it costs the measurement nothing
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            figures.endedByGoal = true;
            box->accept();
        }
    });
    player.start();
    answer.start();
    QTimer::singleShot(std::chrono::milliseconds(static_cast<long>(seconds * 1000)),
                       Qt::PreciseTimer, &host, [&] { host.window().close(); });

    const double cpuBefore = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    host.run(recorder);
    figures.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = cpuSeconds() - cpuBefore;

    figures.cpuPercentOfOneCore = 100.0 * cpu / figures.seconds;
    for (const char* name : {"tmrGoal", "tmrBall"}) {
        figures.timers[name] = recorder.figures(name);
    }
    figures.paints = recorder.paints;
    const int ballTicks = std::max(1, figures.timers["tmrBall"].ticks);
    figures.repaintedPixelsPerBallTick = recorder.paintedPixels / ballTicks;
    figures.windowPixels = 847.0 * 646.0;
    return figures;
}

}  // namespace voltaro::bench
