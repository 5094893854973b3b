// Soccer Game: VOLTARO! — two players, one keyboard, first goal wins.

#include <QApplication>
#include <chrono>

#include "app/command_line.h"
#include "app/computer_match.h"
#include "app/online/play_online.h"
#include "app/replay/play_replay.h"
#include "game/form1.h"
#include "qt/application.h"
#ifdef VOLTARO_GAMEPADS
#include "qt/gamepads.h"
#endif
#include "qt/program_exit.h"
#include "qt/qt_host.h"

int main(int argc, char* argv[]) {
    QCoreApplication::setApplicationName(QStringLiteral("voltaro"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VOLTARO_VERSION));
    voltaro::computer::Seating seating;
    voltaro::OnlineOptions online;
    QString replayFile;
    if (const auto status = voltaro::readCommandLine(argc, argv, &seating, &online, &replayFile)) {
        return *status;
    }
    std::unique_ptr<voltaro::client::ReplayViewer> replay;
    const bool replayLink = voltaro::isReplayLink(replayFile);
    if (!replayFile.isEmpty() && !replayLink && !(replay = voltaro::loadReplay(replayFile))) {
        return 1;
    }
    if (replayLink) {
        const QCoreApplication fetching(argc, argv);  // a fetch needs no display
        if (!(replay = voltaro::fetchReplay(replayFile))) {
            return 1;
        }
    }

    voltaro::DisplayCheck displayCheck;
    QApplication app(argc, argv);
    displayCheck.passed();
    voltaro::identifyApplication();
    QApplication::setQuitOnLastWindowClosed(false);  // the host ends the program itself
    if (online.wanted()) {
        voltaro::ProgramExit::now(voltaro::playOnline(online));
    }
    if (replay) {
        voltaro::ProgramExit::now(voltaro::playReplay(*replay));
    }

    voltaro::QtHost host;
    // Once the match is over or the window is closed, the process is gone within the second
    // whatever the toolkit's teardown does; normally it leaves straight after the event loop.
    QObject::connect(&host, &voltaro::QtHost::ended, [](int status) {
        voltaro::ProgramExit::armWatchdog(status, std::chrono::milliseconds(700));
    });
    voltaro::Form1 form(host);
#ifdef VOLTARO_GAMEPADS
    voltaro::Gamepads pads(host);
#endif
    const auto computer = voltaro::seatComputer(host, seating);
    voltaro::ProgramExit::now(host.run(form));
}
