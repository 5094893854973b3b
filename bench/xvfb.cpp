#include "xvfb.h"

#include <signal.h>
#include <sys/wait.h>

#include <QFile>
#include <QProcess>
#include <QThread>

namespace voltaro::bench {

Xvfb::Xvfb() {
    for (int n = 87; n < 120; ++n) {
        if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)) ||
            QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n))) {
            continue;
        }
        const QString display = QStringLiteral(":%1").arg(n);
        qint64 pid = 0;
        if (!QProcess::startDetached(QStringLiteral("Xvfb"),
                                     {display, QStringLiteral("-screen"), QStringLiteral("0"),
                                      QStringLiteral("1280x1024x24"), QStringLiteral("-noreset"),
                                      QStringLiteral("-nolisten"), QStringLiteral("tcp")},
                                     {}, &pid)) {
            return;  // no Xvfb on this machine
        }
        for (int wait = 0; wait < 200; ++wait) {  // up to 10 s on a loaded machine
            if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n))) {
                pid_ = pid;
                display_ = display;
                return;
            }
            if (::kill(static_cast<pid_t>(pid), 0) != 0) {
                break;  // it gave up: the display was taken after all
            }
            QThread::msleep(50);
        }
        ::kill(static_cast<pid_t>(pid), SIGTERM);
    }
}

Xvfb::~Xvfb() {
    if (pid_ > 0) {
        ::kill(static_cast<pid_t>(pid_), SIGTERM);
    }
}

QProcessEnvironment Xvfb::environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display_);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    return env;
}

}  // namespace voltaro::bench
