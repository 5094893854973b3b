// Soccer Game: VOLTARO! — two players, one keyboard, first goal wins.

#include <QApplication>
#include <QIcon>

#include "game/form1.h"
#include "qt/qt_host.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("voltaro"));
    // The window's class and the task bar's entry match the installed menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.voltaro.voltaro"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/voltaro.png")));
    QApplication::setQuitOnLastWindowClosed(false);  // the host ends the program itself

    voltaro::QtHost host;
    voltaro::Form1 form(host);
    return host.run(form);
}
