// voltaro-bench: what the game costs. Prints one table and writes the figures as JSON.
//   voltaro-bench [--out FILE] [--seconds N] [Google Benchmark flags]

#include <QApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>
#include <QThread>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "play.h"
#include "procedures.h"
#include "session.h"
#include "startup.h"
#include "xvfb.h"

using namespace voltaro::bench;

namespace {

struct Options {
    QString out = QStringLiteral("bench.json");
    double seconds = 10.0;
    bool sessionOnly = false;  // for profiling the play session on its own
    bool startupOnly = false;  // the start-up's time and memory against the floor's, alone
};

Options takeOptions(int& argc, char** argv) {
    Options options;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
            options.out = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strcmp(argv[i], "--session-only") == 0) {
            options.sessionOnly = true;
        } else if (std::strcmp(argv[i], "--startup-only") == 0) {
            options.startupOnly = true;
        } else if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            options.seconds = std::atof(argv[++i]);
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    return options;
}

QString machine() {
    return QStringLiteral("%1, %2 cores, %3, Qt %4 (%5)")
        .arg(QSysInfo::prettyProductName())
        .arg(QThread::idealThreadCount())
        .arg(QSysInfo::currentCpuArchitecture())
        .arg(QString::fromLatin1(qVersion()))
        .arg(QGuiApplication::platformName());
}

struct Comparison {
    double gameInstructions = std::nan(""), widgetInstructions = std::nan("");
    double gameCpu = std::nan(""), widgetCpu = std::nan("");
};

// Instructions are counted for both at once (callgrind's counts do not depend on the load);
// CPU time is taken in turns, 8 s three times each, and the least of each kept: the figures are
// a few per cent of a core, and whatever else the machine does only ever adds to them.
Comparison comparePlay(const QProcessEnvironment& display, bool haveX) {
    Comparison c;
    if (!haveX) {
        return c;
    }
    constexpr int kCountedTicks = 128;
    constexpr int kTimedTicks = 512;  // 8 s
    QThread* counting = QThread::create([&] {
        c.widgetInstructions = instructionsPerTick(Player::MinimalWidget, display, kCountedTicks);
    });
    counting->start();
    c.gameInstructions = instructionsPerTick(Player::Game, display, kCountedTicks);
    counting->wait();
    delete counting;
    double game = HUGE_VAL, widget = HUGE_VAL;
    for (int run = 0; run < 3; ++run) {
        game = std::fmin(game, cpuTime(Player::Game, display, kTimedTicks).cpuPercentOfOneCore);
        widget = std::fmin(
            widget, cpuTime(Player::MinimalWidget, display, kTimedTicks).cpuPercentOfOneCore);
    }
    c.gameCpu = game;
    c.widgetCpu = widget;
    return c;
}

void row(const char* what, const QString& figure, const char* goal) {
    std::printf("  %-44s %16s   %s\n", what, figure.toLocal8Bit().constData(), goal);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (argc >= 2 && std::strcmp(argv[1], "--play-child") == 0) {
        return runPlayChild(argc, argv);
    }
    if (argc == 2 && std::strncmp(argv[1], "--startup-child=", 16) == 0) {
        return runStartupChild(std::strcmp(argv[1] + 16, "game") == 0);
    }
    const Options options = takeOptions(argc, argv);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    if (options.startupOnly) {
        Xvfb x;
        const auto [game, floor] = compareStartup(
            11, x.running() ? x.environment() : QProcessEnvironment::systemEnvironment());
        std::printf(
            "first frame %.1f ms against %.1f ms; peak resident %.1f MiB against %.1f "
            "MiB: %.3f times\n",
            game.firstFrameMs, floor.firstFrameMs, game.peakResidentMiB, floor.peakResidentMiB,
            game.peakResidentMiB / floor.peakResidentMiB);
        return 0;
    }
    if (options.sessionOnly) {
        const SessionFigures session = playSession(options.seconds);
        std::printf("%.2f %% of a core over %.2f s: %d paints, %d ball ticks\n",
                    session.cpuPercentOfOneCore, session.seconds, session.paints,
                    session.timers.at("tmrBall").ticks);
        return 0;
    }
    const ProcedureCosts costs = measureProcedures(argc, argv);
    const SessionFigures session = playSession(options.seconds);
    // The game against a minimal Qt program on a real X display, each in a process of its own.
    Xvfb x;
    const QProcessEnvironment display =
        x.running() ? x.environment() : QProcessEnvironment::systemEnvironment();
    if (!x.running()) {
        std::fprintf(stderr, "voltaro-bench: no Xvfb; start-up on the offscreen platform only\n");
    }
    const Comparison play = comparePlay(display, x.running());
    const auto [game, floor] = compareStartup(11, display);

    auto ns = [&](const char* name) {  // a benchmark left out by --benchmark_filter is NaN
        const auto found = costs.nanosecondsPerCall.find(name);
        return found == costs.nanosecondsPerCall.end() ? std::nan("") : found->second;
    };
    const TimerFigures& ball = session.timers.at("tmrBall");
    const TimerFigures& goal = session.timers.at("tmrGoal");
    auto n = [](double v, int digits) { return QString::number(v, 'f', digits); };

    std::printf("\nvoltaro on %s\n\n", machine().toLocal8Bit().constData());
    row("tmrBall_Timer per call", n(ns("BM_tmrBall_Timer"), 1) + " ns", "goal < 50 ns");
    row("tmrGoal_Timer per call", n(ns("BM_tmrGoal_Timer"), 1) + " ns", "goal < 50 ns");
    row("Form_KeyDown per call", n(ns("BM_Form_KeyDown"), 1) + " ns", "goal < 50 ns");
    row("a computer player per tick (hard)", n(ns("BM_ComputerPlayerPerTick") / 2e3, 2) + " us",
        "far below the tick's whole cost");
    row("heap allocations per procedure call",
        n(costs.allocationsPerCall.at("tmrBall_Timer") +
              costs.allocationsPerCall.at("tmrGoal_Timer") +
              costs.allocationsPerCall.at("Form_KeyDown"),
          0),
        "goal 0");
    row("paint the whole scene, pixel ratio 1", n(ns("BM_PaintScene/1") / 1e6, 3) + " ms",
        "goal < 0.5 ms");
    row("paint the whole scene, pixel ratio 2", n(ns("BM_PaintScene/2") / 1e6, 3) + " ms", "");
    row("paint what one ball tick moved", n(ns("BM_PaintBallTick") / 1e3, 1) + " us", "");
    row("area repainted per ball tick", n(session.repaintedPixelsPerBallTick, 0) + " px",
        "the ball's old and new boxes, not the window");
    row("  (the whole window)", n(session.windowPixels, 0) + " px", "");
    row("play session", n(session.seconds, 2) + " s", session.endedByGoal ? "ended by a goal" : "");
    row("  tmrBall ticks / mean period",
        QString::number(ball.ticks) + " / " + n(ball.meanPeriodMs, 3) + " ms",
        "goal 15.625 ms within 0.5 %");
    row("  tmrGoal ticks / mean period",
        QString::number(goal.ticks) + " / " + n(goal.meanPeriodMs, 3) + " ms", "");
    row("  tick lateness, median / 99th percentile / max",
        n(std::max(ball.medianLatenessMs, goal.medianLatenessMs), 2) + " / " +
            n(std::max(ball.p99LatenessMs, goal.p99LatenessMs), 2) + " / " +
            n(std::max(ball.maxLatenessMs, goal.maxLatenessMs), 2) + " ms",
        "goal < 2 ms");
    row("  CPU time from the first tick on", n(session.cpuPercentOfOneCore, 2) + " % of a core",
        "goal < 2 %");
    std::printf("\n  in play on X (Xvfb), against a minimal Qt widget moving a ball-sized box:\n");
    row("instructions per tick, whole process", n(play.gameInstructions, 0), "");
    row("  the minimal widget", n(play.widgetInstructions, 0), "");
    row("  ratio", n(play.gameInstructions / play.widgetInstructions, 2), "goal <= 1.2");
    row("CPU time in play", n(play.gameCpu, 2) + " % of a core", "");
    row("  the minimal widget", n(play.widgetCpu, 2) + " % of a core", "");
    row("  ratio", n(play.gameCpu / play.widgetCpu, 2), "goal <= 1.25");
    row("start-up to first painted frame", n(game.firstFrameMs, 1) + " ms", "");
    row("  an empty window painting both faces", n(floor.firstFrameMs, 1) + " ms", "");
    row("  ratio", n(game.firstFrameMs / floor.firstFrameMs, 2), "goal <= 1.1");
    row("peak resident memory", n(game.peakResidentMiB, 1) + " MiB", "");
    row("  an empty window painting both faces", n(floor.peakResidentMiB, 1) + " MiB", "");
    row("  ratio", n(game.peakResidentMiB / floor.peakResidentMiB, 3), "goal <= 1.05");

    QJsonObject timers;
    for (const auto& [name, t] : session.timers) {
        timers[QString::fromStdString(name)] = QJsonObject{{"ticks", t.ticks},
                                                           {"meanPeriodMs", t.meanPeriodMs},
                                                           {"medianLatenessMs", t.medianLatenessMs},
                                                           {"p99LatenessMs", t.p99LatenessMs},
                                                           {"maxLatenessMs", t.maxLatenessMs}};
    }
    QJsonObject perCall;
    for (const auto& [name, value] : costs.nanosecondsPerCall) {
        perCall[QString::fromStdString(name)] = value;
    }
    const QJsonObject json{
        {"machine", machine()},
        {"nanosecondsPerCall", perCall},
        {"allocationsPerProcedureCall", costs.allocationsPerCall.at("tmrBall_Timer") +
                                            costs.allocationsPerCall.at("tmrGoal_Timer") +
                                            costs.allocationsPerCall.at("Form_KeyDown")},
        {"session", QJsonObject{{"seconds", session.seconds},
                                {"endedByGoal", session.endedByGoal},
                                {"timers", timers},
                                {"cpuPercentOfOneCore", session.cpuPercentOfOneCore},
                                {"paints", session.paints},
                                {"repaintedPixelsPerBallTick", session.repaintedPixelsPerBallTick},
                                {"windowPixels", session.windowPixels}}},
        {"play", QJsonObject{{"instructionsPerTick", play.gameInstructions},
                             {"minimalWidgetInstructionsPerTick", play.widgetInstructions},
                             {"cpuPercentOfOneCore", play.gameCpu},
                             {"minimalWidgetCpuPercentOfOneCore", play.widgetCpu}}},
        {"startup", QJsonObject{{"firstFrameMs", game.firstFrameMs},
                                {"peakResidentMiB", game.peakResidentMiB},
                                {"emptyWindowFirstFrameMs", floor.firstFrameMs},
                                {"emptyWindowPeakResidentMiB", floor.peakResidentMiB}}},
    };
    QFile file(options.out);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(json).toJson()) < 0) {
        std::fprintf(stderr, "voltaro-bench: cannot write %s\n",
                     options.out.toLocal8Bit().constData());
        return 1;
    }
    std::printf("\nwritten to %s\n", options.out.toLocal8Bit().constData());
    return 0;
}
