#include "app/online/qr_code_label.h"

#include <QPainter>
#include <QPixmap>

#include "client/qr_code.h"

namespace voltaro {

namespace {

// A reader finds the code by the light margin around it: four modules, as the standard asks.
constexpr int kQuietModules = 4;
// Big enough for a phone to read from a screen at arm's length and more, small enough to sit
// beside a line of text: a link of this game's length makes a code of 29 to 37 modules.
constexpr int kModulePixels = 4;

}  // namespace

QImage qrImage(const QString& link, int modulePixels) {
    const client::QrModules modules = client::qrModules(link.toStdString());
    if (modules.empty()) {
        return {};
    }
    const int side = (modules.size + 2 * kQuietModules) * modulePixels;
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (int y = 0; y < modules.size; ++y) {
        for (int x = 0; x < modules.size; ++x) {
            if (modules.at(x, y)) {
                painter.fillRect((x + kQuietModules) * modulePixels,
                                 (y + kQuietModules) * modulePixels, modulePixels, modulePixels,
                                 Qt::black);
            }
        }
    }
    return image;
}

QrCodeLabel::QrCodeLabel(QWidget* parent) : QLabel(parent) {
    setObjectName(QStringLiteral("qrCode"));
    setAccessibleName(QStringLiteral("QR code of the link"));
    setTextFormat(Qt::PlainText);  // it shows an image only, and never a server's markup
    hide();
}

void QrCodeLabel::showLink(const QString& link) {
    if (link == link_ && (link.isEmpty() || isVisible())) {
        return;
    }
    link_ = link;
    const QImage image = link.isEmpty() ? QImage() : qrImage(link, kModulePixels);
    setPixmap(QPixmap::fromImage(image));
    setAccessibleDescription(link);
    setToolTip(link);
    setVisible(!image.isNull());
}

}  // namespace voltaro
