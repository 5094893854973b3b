#include "qt/application.h"

#include <gtest/gtest.h>

#include <QFile>

namespace voltaro {
namespace {

// The window icon is decoded without Qt's image reader: it must give the reader's pixels.
TEST(WindowIcon, LibpngDecodesTheIconAsQtsOwnReaderDoes) {
    for (const char* size : {"64x64", "16x16", "256x256"}) {
        const QString path = QStringLiteral(VOLTARO_ICON_DIR "/%1/voltaro.png").arg(size);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        const QImage decoded = decodePng(file.readAll());
        const QImage reference = QImage(path).convertToFormat(QImage::Format_ARGB32);
        ASSERT_FALSE(decoded.isNull()) << size;
        EXPECT_EQ(decoded, reference) << size;
    }
    EXPECT_TRUE(decodePng("GIF89a, no PNG at all").isNull());
    EXPECT_TRUE(decodePng({}).isNull());
}

}  // namespace
}  // namespace voltaro
