#include "qt/program_exit.h"

#include <unistd.h>

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <cstdio>
#include <thread>

namespace voltaro {

void ProgramExit::armWatchdog(int status, std::chrono::milliseconds grace) {
    std::fflush(stdout);
    std::fflush(stderr);
    std::thread([status, grace] {
        std::this_thread::sleep_for(grace);
        ::_exit(status);  // no flush: the main thread may hold a stream's lock
    }).detach();
}

void ProgramExit::now(int status) {
    std::fflush(stdout);
    std::fflush(stderr);
    ::_exit(status);
}

namespace {

QtMessageHandler previousHandler = nullptr;
QStringList heldBack;

void handleBeforeDisplay(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type != QtFatalMsg) {
        heldBack.append(qFormatLogMessage(type, context, text));
        return;
    }
    const QString where = qEnvironmentVariableIsSet("WAYLAND_DISPLAY")
                              ? QStringLiteral("WAYLAND_DISPLAY")
                              : QStringLiteral("DISPLAY");
    std::fprintf(stderr,
                 "voltaro: cannot open a window: no usable X11 or Wayland display (check %s)\n",
                 qPrintable(where));
    ProgramExit::now(1);
}

}  // namespace

DisplayCheck::DisplayCheck() {
    previousHandler = qInstallMessageHandler(handleBeforeDisplay);
}

DisplayCheck::~DisplayCheck() {
    passed();
}

void DisplayCheck::passed() {
    if (qInstallMessageHandler(previousHandler) != handleBeforeDisplay) {
        return;  // already passed
    }
    for (const QString& line : heldBack) {
        std::fprintf(stderr, "%s\n", qPrintable(line));
    }
    heldBack.clear();
}

}  // namespace voltaro
