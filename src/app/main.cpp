// Soccer Game: VOLTARO! — two players, one keyboard, first goal wins.

#include <QApplication>

#include "game/form1.h"
#include "scene/qt_host.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("voltaro"));
    QApplication::setQuitOnLastWindowClosed(false);  // the host ends the program itself

    voltaro::QtHost host;
    voltaro::Form1 form(host);
    return host.run(form);
}
