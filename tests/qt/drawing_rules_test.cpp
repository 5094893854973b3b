#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <cmath>

#include "qt/qt_host.h"
#include "qt/scene_painter.h"
#include "scene/recording_host.h"

namespace voltaro {
namespace {

constexpr Rgb kWhite{0xFF, 0xFF, 0xFF};
constexpr Rgb kGrey{0x40, 0x40, 0x40};

// What the desktop's executor draws for one primitive on a clear canvas of device pixels.
QImage executed(const Primitive& primitive) {
    QImage image(120, 120, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrushOrigin(0, 0);
    execute(painter, primitive);
    return image;
}

bool painted(const QImage& image, int x, int y) {
    return qAlpha(image.pixel(x, y)) != 0;
}

int mod8(int v) {
    return ((v % 8) + 8) % 8;
}

// The rules written down for other hosts are the pixels this host draws.
TEST(DrawingRulesOnTheDesktop, TheHatchIsAnchoredToTheOriginInDevicePixels) {
    for (int pen : {1, 2, 3}) {
        const Ellipse ball{{13, 7, 100, 100}, pen, kGrey, EllipseFill::DiagonalCross, kWhite};
        const QImage image = executed(ball);
        int checked = 0;
        for (int y = 7; y < 107; ++y) {
            for (int x = 13; x < 113; ++x) {
                const double dx = x + 0.5 - 63, dy = y + 0.5 - 57;
                if (dx * dx + dy * dy > 44.0 * 44.0) {
                    continue;  // the outline and its edge
                }
                const int u = mod8(x), v = mod8(y);
                ASSERT_EQ(painted(image, x, y), u == v || u + v == 7)
                    << "pen " << pen << " at " << x << ", " << y;
                ++checked;
            }
        }
        EXPECT_GT(checked, 5000);
    }
}

TEST(DrawingRulesOnTheDesktop, LinesCoverTheirEndsAndThePenSquare) {
    for (int width : {1, 2, 3}) {
        const QImage across = executed(LineSegment{30, 40, 10, 40, width, kWhite});
        const QImage down = executed(LineSegment{50, 60, 50, 20, width, kWhite});
        for (int y = 0; y < 120; ++y) {
            for (int x = 0; x < 120; ++x) {
                ASSERT_EQ(painted(across, x, y),
                          x >= 10 && x < 31 + width - 1 && y >= 40 && y < 40 + width)
                    << "width " << width << " at " << x << ", " << y;
                ASSERT_EQ(painted(down, x, y),
                          x >= 50 && x < 50 + width && y >= 20 && y < 61 + width - 1)
                    << "width " << width << " at " << x << ", " << y;
            }
        }
    }
    // A slanted line one pixel wide: one pixel per column, both ends included.
    const QImage slant = executed(LineSegment{20, 80, 36, 64, 1, kWhite});
    int count = 0;
    for (int y = 0; y < 120; ++y) {
        for (int x = 0; x < 120; ++x) {
            count += painted(slant, x, y) ? 1 : 0;
        }
    }
    EXPECT_EQ(count, 17);
    for (int i = 0; i <= 16; ++i) {
        EXPECT_TRUE(painted(slant, 20 + i, 80 - i)) << i;
    }
    // Wider, the pixels whose centres lie inside the square-capped stroke.
    for (int width : {2, 3}) {
        const LineSegment l{20, 80, 36, 64, width, kWhite};
        const QImage wide = executed(l);
        const double h = width / 2, sx = l.x1 + h, sy = l.y1 + h;
        const double length = std::hypot(l.x2 - l.x1, l.y2 - l.y1);
        const double ux = (l.x2 - l.x1) / length, uy = (l.y2 - l.y1) / length;
        for (int y = 0; y < 120; ++y) {
            for (int x = 0; x < 120; ++x) {
                const double along = (x + 0.5 - sx) * ux + (y + 0.5 - sy) * uy;
                const double across = (x + 0.5 - sx) * uy - (y + 0.5 - sy) * ux;
                const bool inside = along > -width / 2.0 && along < length + width / 2.0 &&
                                    std::abs(across) < width / 2.0;
                ASSERT_EQ(painted(wide, x, y), inside)
                    << "width " << width << " at " << x << ", " << y;
            }
        }
    }
}

TEST(DrawingRulesOnTheDesktop, ACircleStaysInsideItsBoxAndTouchesItsSides) {
    for (int pen : {1, 2}) {
        const Ellipse disc{{20, 30, 57, 57}, pen, kWhite, EllipseFill::Solid, kGrey};
        const QImage image = executed(disc);
        for (int y = 0; y < 120; ++y) {
            for (int x = 0; x < 120; ++x) {
                if (!(x >= 20 && x < 77 && y >= 30 && y < 87)) {
                    ASSERT_FALSE(painted(image, x, y)) << "pen " << pen << " at " << x << ", " << y;
                }
            }
        }
        EXPECT_TRUE(painted(image, 48, 30));
        EXPECT_TRUE(painted(image, 48, 86));
        EXPECT_TRUE(painted(image, 20, 58));
        EXPECT_TRUE(painted(image, 76, 58));
        EXPECT_EQ(image.pixel(48, 58), qRgb(0x40, 0x40, 0x40));
    }
}

// The painter copies circles from prepared images, one per hatch phase: at every phase, and
// over the markings, they must give the pixels of the circle stroked and hatched in place.
TEST(DrawingRulesOnTheDesktop, PreparedCirclesAreTheStrokedCirclesAtEveryPhase) {
    RecordingHost host;
    Shape& ball = host.controls().shape("shpBall");
    for (double ratio : {1.0, 2.0}) {
        ScenePainter scene(host.controls(), host.form().backColour);
        const Drawing drawing(ratio);
        for (int step = 0; step < 72; ++step) {
            // Whole pixels at ratio 1, across the halfway line and the centre circle's outline.
            ball.setLeft(float(15 * (300 + step * 9 / 8)));
            ball.setTop(float(15 * (190 + step % 9)));
            const DeviceRect dirty = drawing.dirtied(ball.box());
            const QRect logical = ScenePainter::logicalBounds(ball.box());
            QImage copied(dirty.right() + 1, dirty.bottom() + 1, QImage::Format_RGB32);
            copied.fill(Qt::magenta);
            QImage stroked = copied;
            copied.setDevicePixelRatio(ratio);
            {
                QPainter painter(&copied);
                scene.paint(painter, ratio, logical);
            }
            std::vector<Primitive> primitives;
            drawing.drawScene(host.controls(), host.form().backColour, dirty, primitives);
            {
                QPainter painter(&stroked);
                painter.setClipRect(QRect(dirty.left, dirty.top, dirty.width, dirty.height));
                painter.setBrushOrigin(0, 0);
                for (const Primitive& p : primitives) {
                    execute(painter, p);
                }
            }
            copied.setDevicePixelRatio(1.0);
            ASSERT_EQ(copied, stroked) << "ratio " << ratio << ", step " << step;
        }
    }
}

// The markings are white and the legend black as the form was designed, whatever the desktop's
// colour scheme: a dark theme would otherwise paint the field's lines in its dark window colour.
TEST(DrawingRulesOnTheDesktop, ADarkDesktopThemeLeavesTheStandardSystemColours) {
    const QPalette saved = QApplication::palette();
    QPalette dark(QColor(0x20, 0x20, 0x20), QColor(0x30, 0x30, 0x30));
    dark.setColor(QPalette::Base, QColor(0x10, 0x10, 0x10));
    dark.setColor(QPalette::WindowText, QColor(0xEE, 0xEE, 0xEE));
    dark.setColor(QPalette::ButtonText, QColor(0xEE, 0xEE, 0xEE));
    QApplication::setPalette(dark);
    QImage shot;
    {
        QtHost host;
        shot = host.window().grab().toImage();
    }
    QApplication::setPalette(saved);
    EXPECT_EQ(shot.pixel(424, 100), qRgb(0xFF, 0xFF, 0xFF)) << "the halfway line, colour 5";
    EXPECT_EQ(shot.pixel(768, 590), qRgb(0, 0, 0)) << "blue's key outline, colour 8";
    int black = 0;  // red's counter "0", colour 18
    for (int y = 592; y < 633; ++y) {
        for (int x = 200; x < 257; ++x) {
            black += shot.pixel(x, y) == qRgb(0, 0, 0) ? 1 : 0;
        }
    }
    EXPECT_GT(black, 20);
}

}  // namespace
}  // namespace voltaro
