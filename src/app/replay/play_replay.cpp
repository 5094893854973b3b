#include "app/replay/play_replay.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <cstdio>

#include "app/online/online_log.h"
#include "app/replay/replay_fetch.h"
#include "app/replay/replay_window.h"
#include "client/join_link.h"

namespace voltaro {

std::unique_ptr<client::ReplayViewer> replayOf(const QByteArray& text, std::string* problem) {
    auto viewer = std::make_unique<client::ReplayViewer>();
    if (!viewer->load(std::string_view(text.constData(), static_cast<std::size_t>(text.size())))) {
        *problem = viewer->problem();
        return nullptr;
    }
    return viewer;
}

namespace {

// The same, the reason printed on the terminal.
std::unique_ptr<client::ReplayViewer> viewerOf(const QByteArray& text, const QString& from) {
    std::string problem;
    auto viewer = replayOf(text, &problem);
    if (!viewer) {
        std::fprintf(stderr, "voltaro: %s: %s\n", qPrintable(from), problem.c_str());
    }
    return viewer;
}

}  // namespace

std::unique_ptr<client::ReplayViewer> loadReplay(const QString& file) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "voltaro: cannot read %s: %s\n", qPrintable(file),
                     qPrintable(in.errorString()));
        return nullptr;
    }
    // One byte past the largest record is enough to tell that a file is too large.
    const QByteArray text = in.read(client::ReplayRecord::kMaxBytes + 1);
    if (in.error() != QFileDevice::NoError) {
        std::fprintf(stderr, "voltaro: cannot read %s: %s\n", qPrintable(file),
                     qPrintable(in.errorString()));
        return nullptr;
    }
    return viewerOf(text, file);
}

bool isReplayLink(const QString& given) {
    return !client::replayRecordOf(given.toStdString()).empty();
}

std::unique_ptr<client::ReplayViewer> fetchReplay(const QString& link) {
    ReplayFetch fetch;
    QEventLoop loop;
    QByteArray text;
    bool fetched = false;
    QObject::connect(&fetch, &ReplayFetch::fetched, [&](const QByteArray& record) {
        text = record;
        fetched = true;
        loop.quit();
    });
    QObject::connect(&fetch, &ReplayFetch::failed, [&](const QString& why) {
        std::fprintf(stderr, "voltaro: %s: %s\n", qPrintable(link), qPrintable(why));
        loop.quit();
    });
    fetch.fetch(QString::fromStdString(client::replayRecordOf(link.toStdString())));
    loop.exec();
    return fetched ? viewerOf(text, link) : nullptr;
}

int playReplay(client::ReplayViewer& viewer) {
    ReplayWindow window(viewer);
    OnlineLog log;
    QObject::connect(&window, &ReplayWindow::shown, [&] { log.replayShown(viewer); });
    QObject::connect(&window, &ReplayWindow::closed, [] { QCoreApplication::exit(0); });
    window.show();
    return QApplication::exec();
}

}  // namespace voltaro
