#include "app/replay/play_replay.h"

#include <QApplication>
#include <QFile>
#include <cstdio>

#include "app/replay/replay_window.h"

namespace voltaro {

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
    auto viewer = std::make_unique<client::ReplayViewer>();
    if (!viewer->load(std::string_view(text.constData(), static_cast<std::size_t>(text.size())))) {
        std::fprintf(stderr, "voltaro: %s: %s\n", qPrintable(file), viewer->problem().c_str());
        return nullptr;
    }
    return viewer;
}

int playReplay(client::ReplayViewer& viewer) {
    ReplayWindow window(viewer);
    QObject::connect(&window, &ReplayWindow::closed, [] { QCoreApplication::exit(0); });
    window.show();
    return QApplication::exec();
}

}  // namespace voltaro
