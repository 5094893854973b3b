#include "qt/application.h"

#include <png.h>

#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <cstring>

namespace voltaro {

QImage decodePng(const QByteArray& png) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, png.constData(),
                                          static_cast<std::size_t>(png.size()))) {
        return {};
    }
    // Byte order B, G, R, A in memory is QImage's ARGB32 on a little-endian machine; premultiplied
    // alpha is not what libpng gives, so the plain format.
    image.format = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? PNG_FORMAT_BGRA : PNG_FORMAT_ARGB;
    QImage decoded(static_cast<int>(image.width), static_cast<int>(image.height),
                   QImage::Format_ARGB32);
    if (decoded.isNull() ||
        !png_image_finish_read(&image, nullptr, decoded.bits(),
                               static_cast<png_int_32>(decoded.bytesPerLine()), nullptr)) {
        png_image_free(&image);
        return {};
    }
    return decoded;
}

void identifyApplication() {
    QGuiApplication::setApplicationName(QStringLiteral("voltaro"));
    // The window's class and the task bar's entry match the installed menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.voltaro.voltaro"));
    QFile icon(QStringLiteral(":/icons/voltaro.png"));
    if (icon.open(QIODevice::ReadOnly)) {
        const QImage image = decodePng(icon.readAll());
        if (!image.isNull()) {
            QGuiApplication::setWindowIcon(QIcon(QPixmap::fromImage(image)));
        }
    }
}

}  // namespace voltaro
