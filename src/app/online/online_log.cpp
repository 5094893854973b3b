#include "app/online/online_log.h"

#include <QDateTime>

namespace voltaro {

OnlineLog::OnlineLog() {
    if (const QByteArray path = qgetenv("VOLTARO_ONLINE_LOG"); !path.isEmpty()) {
        file_.setFileName(QString::fromLocal8Bit(path));
        (void)file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
    }
}

void OnlineLog::shown(const client::MatchView& match) {
    if (!file_.isOpen()) {
        return;
    }
    for (const std::string& line : lines_.linesFor(match)) {
        write(line);
    }
}

void OnlineLog::keyPressed(std::int16_t code) {
    if (file_.isOpen()) {
        write(client::ScreenLog::keyLine(code));
    }
}

void OnlineLog::replayShown(const client::ReplayViewer& viewer) {
    if (!file_.isOpen()) {
        return;
    }
    for (const std::string& line : lines_.linesFor(viewer)) {
        write(line);
    }
}

void OnlineLog::write(const std::string& line) {
    file_.write(QStringLiteral("%1 %2\n")
                    .arg(QDateTime::currentMSecsSinceEpoch())
                    .arg(QString::fromStdString(line))
                    .toUtf8());
}

}  // namespace voltaro
