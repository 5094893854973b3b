// voltaro-screenshot: paints the game's window at kick-off with the game's own painter and saves
// it as a PNG, so the README's picture always shows what the game draws.
//   voltaro-screenshot OUT.png [PIXEL_RATIO]

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <cstdlib>

#include "qt/scene_painter.h"
#include "scene/recording_host.h"

int main(int argc, char* argv[]) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: voltaro-screenshot OUT.png [PIXEL_RATIO]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const double ratio = argc == 3 ? std::atof(argv[2]) : 1.0;
    if (!(ratio >= 0.5 && ratio <= 8.0)) {
        std::fprintf(stderr, "voltaro-screenshot: the pixel ratio must lie between 0.5 and 8\n");
        return 2;
    }

    voltaro::RecordingHost host;
    const voltaro::FormRecord& form = host.form();
    const QSize logical(form.clientWidth / 15, form.clientHeight / 15);
    QImage image((QSizeF(logical) * ratio).toSize(), QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    {
        voltaro::ScenePainter scene(host.controls(), form.backColour);
        QPainter painter(&image);
        scene.paint(painter, ratio, QRect(QPoint(0, 0), logical));
    }
    if (!image.save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "voltaro-screenshot: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
