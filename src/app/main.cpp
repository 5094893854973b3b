// Soccer Game: VOLTARO! — two players, one keyboard, first goal wins.

#include <QApplication>

#include "game/form1.h"
#include "qt/application.h"
#include "qt/qt_host.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    voltaro::identifyApplication();
    QApplication::setQuitOnLastWindowClosed(false);  // the host ends the program itself

    voltaro::QtHost host;
    voltaro::Form1 form(host);
    return host.run(form);
}
