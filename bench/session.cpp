#include "session.h"

#include <sys/resource.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPaintEvent>
#include <QTimer>
#include <algorithm>
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

struct Recorder : TickProbe, QObject {
    struct Tick {
        Duration due, delivered;
    };
    std::map<std::string, std::vector<Tick>> ticks;
    double cpuAtFirstTick = -1;  // play is measured from here: start-up has its own figure
    std::chrono::steady_clock::time_point firstTick;
    int paints = 0;
    double paintedPixels = 0;

    void tickDelivered(const Timer& timer, Duration due, Duration delivered) override {
        if (cpuAtFirstTick < 0) {
            cpuAtFirstTick = cpuSeconds();
            firstTick = std::chrono::steady_clock::now();
        }
        auto& list = ticks[timer.name()];
        if (list.capacity() == 0) {
            list.reserve(4096);
        }
        list.push_back({due, delivered});
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

    TimerFigures figures(const std::string& name) const {
        TimerFigures f;
        const auto found = ticks.find(name);
        if (found == ticks.end() || found->second.size() < 2) {
            return f;
        }
        const auto& list = found->second;
        f.ticks = static_cast<int>(list.size());
        f.meanPeriodMs = ms(list.back().delivered - list.front().delivered) / (list.size() - 1);
        std::vector<double> lateness;
        lateness.reserve(list.size());
        for (const Tick& t : list) {
            lateness.push_back(ms(t.delivered - t.due));
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
    Form1 form(host);
    Recorder recorder;
    host.setTickProbe(&recorder);
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
    host.run(form);
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
