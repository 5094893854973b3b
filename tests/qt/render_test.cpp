#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QSet>

#include "qt/scene_painter.h"
#include "scene/recording_host.h"

namespace voltaro {
namespace {

constexpr QRgb kGreen = 0xFF00C000;
constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kBlack = 0xFF000000;
constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kBlue = 0xFF0000FF;
constexpr QRgb kDarkGrey = 0xFF404040;

// The scene painted as the window shows it, at a logical size and a pixel ratio.
class Render : public ::testing::Test {
  protected:
    QImage paint(double ratio = 1.0, QSize logical = {847, 646}) {
        QImage image((QSizeF(logical) * ratio).toSize(), QImage::Format_RGB32);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::magenta);  // anything unpainted stands out
        ScenePainter scene(host.controls(), host.form().backColour);
        QPainter painter(&image);
        scene.paint(painter, ratio, QRect(QPoint(0, 0), logical));
        return image;
    }
    void place(const char* name, float left, float top) {
        host.controls().shape(name).setLeft(left);
        host.controls().shape(name).setTop(top);
    }
    RecordingHost host;
};

#define EXPECT_PIXEL(image, x, y, colour) \
    EXPECT_EQ((image).pixel((x), (y)), (colour)) << "at " << (x) << ", " << (y)

TEST_F(Render, TheFieldGoalsAndDiscsAtTheirPlaces) {
    const QImage image = paint();
    EXPECT_PIXEL(image, 300, 100, kGreen);
    EXPECT_PIXEL(image, 4, 250, kWhite);    // left goal, solid
    EXPECT_PIXEL(image, 843, 250, kWhite);  // right goal, solid
    EXPECT_PIXEL(image, 4, 180, kGreen);    // above the left goal
    EXPECT_PIXEL(image, 424, 100, kWhite);  // halfway line
    EXPECT_PIXEL(image, 156, 252, kRed);
    EXPECT_PIXEL(image, 684, 252, kBlue);
    // A disc fills its whole 57-pixel box: the outline touches all four sides...
    for (const QPoint p :
         {QPoint(156, 224), QPoint(156, 280), QPoint(128, 252), QPoint(184, 252)}) {
        EXPECT_PIXEL(image, p.x(), p.y(), kWhite);
    }
    // ...and stays inside it.
    EXPECT_PIXEL(image, 156, 223, kGreen);
    EXPECT_PIXEL(image, 129, 225, kGreen);  // the box's corner is not the disc's
}

TEST_F(Render, TheBallIsAHatchedCircleInsideItsBox) {
    place("shpBall", 3000, 1500);  // away from every marking: box 200..249, 100..141
    const QImage image = paint();
    // The circle of diameter 41 stands 4 pixels inside the 49-pixel box.
    EXPECT_PIXEL(image, 224, 100, kDarkGrey);
    EXPECT_PIXEL(image, 204, 120, kDarkGrey);
    EXPECT_PIXEL(image, 244, 120, kDarkGrey);
    EXPECT_PIXEL(image, 202, 120, kGreen);
    EXPECT_PIXEL(image, 247, 120, kGreen);
    int white = 0, green = 0, other = 0;
    for (int y = 106; y < 135; ++y) {
        for (int x = 212; x < 237; ++x) {
            const QRgb c = image.pixel(x, y);
            (c == kWhite ? white : c == kGreen ? green : other)++;
        }
    }
    EXPECT_GT(white, 100) << "the hatch";
    EXPECT_GT(green, 200) << "the field shows through the hatch";
    EXPECT_EQ(other, 0);
}

TEST_F(Render, TheBallLiesOverTheMarkingsAndUnderPlayersGoalsAndTheOutline) {
    QImage image = paint();
    EXPECT_PIXEL(image, 424, 216, kDarkGrey);  // its outline over the halfway line

    place("shpBall", 4800, 3300);  // its leftmost point on the centre circle's
    image = paint();
    EXPECT_PIXEL(image, 324, 240, kDarkGrey);

    place("shpBall", 1920, 3360);  // inside the red disc
    image = paint();
    EXPECT_PIXEL(image, 132, 244, kRed);

    place("shpBall", 0, 3000);  // its left side inside the left goal
    image = paint();
    EXPECT_PIXEL(image, 4, 220, kWhite);

    place("shpBall", 3000, 0);  // its top on the field's outline
    image = paint();
    EXPECT_PIXEL(image, 224, 0, kWhite);
}

TEST_F(Render, TheLegendAndItsLabels) {
    const QImage image = paint();
    EXPECT_PIXEL(image, 768, 590, kBlack);  // blue's key outline over the box of "D"
    // Every label's box is the form's own green where no text is.
    for (const QPoint p : {QPoint(201, 630), QPoint(255, 593), QPoint(537, 622), QPoint(607, 585),
                           QPoint(255, 575), QPoint(615, 575)}) {
        EXPECT_PIXEL(image, p.x(), p.y(), kGreen);
    }
    auto darkPixels = [&](QRect box) {
        int n = 0;
        for (int y = box.top(); y <= box.bottom(); ++y) {
            for (int x = box.left(); x <= box.right(); ++x) {
                n += image.pixel(x, y) == kBlack ? 1 : 0;
            }
        }
        return n;
    };
    EXPECT_GT(darkPixels({200, 592, 57, 41}), 20) << "red's counter shows a 0";
    EXPECT_GT(darkPixels({536, 584, 73, 41}), 20) << "blue's counter shows a 0";
    int red = 0;
    for (int y = 536; y < 577; ++y) {
        for (int x = 200; x < 257; ++x) {
            red += image.pixel(x, y) == kRed ? 1 : 0;
        }
    }
    EXPECT_GT(red, 30) << "the title \"Red\" in red";
}

TEST_F(Render, TheFieldsRightEdgeLiesJustBeyondTheStoredWindow) {
    const QImage stored = paint();
    EXPECT_EQ(stored.width(), 847);
    EXPECT_PIXEL(stored, 846, 100, kGreen);
    const QImage wider = paint(1.0, {860, 646});
    EXPECT_PIXEL(wider, 848, 100, kWhite);  // the outline's right edge
    EXPECT_PIXEL(wider, 848, 250, kWhite);  // and the goal's last two columns
    EXPECT_PIXEL(wider, 849, 250, kGreen);
    EXPECT_PIXEL(wider, 855, 100, kGreen);
}

TEST_F(Render, ADistantBallIsClippedNotDrawn) {
    place("shpBall", -3.0e38F, 3.0e38F);
    const QImage image = paint();
    EXPECT_PIXEL(image, 424, 216, kWhite);  // the halfway line where the ball was
}

TEST_F(Render, AtPixelRatioTwoTheSameSceneIsDrawnSharply) {
    const QImage image = paint(2.0);
    ASSERT_EQ(image.size(), QSize(1694, 1292));
    EXPECT_PIXEL(image, 600, 200, kGreen);
    EXPECT_PIXEL(image, 312, 504, kRed);
    EXPECT_PIXEL(image, 1368, 504, kBlue);
    EXPECT_PIXEL(image, 8, 500, kWhite);
    // Lines and outlines stay one logical pixel wide: two device pixels, with no blur.
    int lineWidth = 0;
    for (int x = 840; x < 860; ++x) {
        const QRgb c = image.pixel(x, 200);
        ASSERT_TRUE(c == kWhite || c == kGreen) << "no antialiasing at x " << x;
        lineWidth += c == kWhite ? 1 : 0;
    }
    EXPECT_EQ(lineWidth, 2);
    EXPECT_PIXEL(image, 312, 448, kWhite);  // the disc's top outline...
    EXPECT_PIXEL(image, 312, 449, kWhite);
    EXPECT_PIXEL(image, 312, 447, kGreen);     // ...inside its box
    EXPECT_PIXEL(image, 848, 432, kDarkGrey);  // the ball's outline over the halfway line
}

TEST_F(Render, AtFractionalRatiosNothingIsBlurred) {
    const QImage image = paint(1.5);
    ASSERT_EQ(image.size(), QSize(1271, 969));
    const QSet<QRgb> scene{kGreen, kWhite, kBlack, kRed, kBlue, kDarkGrey};
    int foreign = 0;
    for (int y = 0; y < 790; y += 3) {  // the field, without the text of the legend
        for (int x = 0; x < image.width(); x += 3) {
            foreign += scene.contains(image.pixel(x, y)) ? 0 : 1;
        }
    }
    EXPECT_EQ(foreign, 0);
}

}  // namespace
}  // namespace voltaro
