#include "scene/drawing.h"

#include <gtest/gtest.h>

#include "scene/recording_host.h"
#include "scene/scene_index.h"

namespace voltaro {
namespace {

constexpr Rgb kGreen{0, 0xC0, 0};
constexpr Rgb kWhite{0xFF, 0xFF, 0xFF};
constexpr Rgb kBlack{0, 0, 0};

class DrawingRules : public ::testing::Test {
  protected:
    std::vector<Primitive> draw(double ratio, DeviceRect clip = {0, 0, 5000, 5000}) {
        std::vector<Primitive> out;
        Drawing(ratio).drawScene(host.controls(), host.form().backColour, clip, out);
        return out;
    }
    template <typename Kind>
    static std::vector<Kind> only(const std::vector<Primitive>& list) {
        std::vector<Kind> found;
        for (const Primitive& p : list) {
            if (const auto* k = std::get_if<Kind>(&p)) {
                found.push_back(*k);
            }
        }
        return found;
    }
    // The place in the list of the first primitive of a kind that satisfies `match`, or -1.
    template <typename Kind, typename Match>
    static int placeOf(const std::vector<Primitive>& list, Match match) {
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (const auto* k = std::get_if<Kind>(&list[i]); k && match(*k)) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    RecordingHost host;
};

TEST_F(DrawingRules, TheSceneBottomFirstOverTheFormsGreen) {
    const auto list = draw(1.0);
    const auto& background = std::get<FillRect>(list.front());
    EXPECT_EQ(background.box, (DeviceRect{0, 0, 5000, 5000}));
    EXPECT_EQ(background.colour, kGreen);

    // Four circles: the centre circle, the ball (41 pixels, 4 inside its 49-pixel box), the discs.
    const auto circles = only<Ellipse>(list);
    ASSERT_EQ(circles.size(), 4U);
    EXPECT_EQ(circles[0].box, (DeviceRect{324, 144, 193, 193}));
    EXPECT_EQ(circles[0].fill, EllipseFill::None);
    EXPECT_EQ(circles[1].box, (DeviceRect{404, 216, 41, 41}));
    EXPECT_EQ(circles[1].fill, EllipseFill::DiagonalCross);
    EXPECT_EQ(circles[1].outline, (Rgb{0x40, 0x40, 0x40}));
    EXPECT_EQ(circles[2].box, (DeviceRect{128, 224, 57, 57}));  // red, then blue on top
    EXPECT_EQ(circles[3].box, (DeviceRect{656, 224, 57, 57}));

    // The ball lies over the halfway line and under the field's outline.
    const int ball = placeOf<Ellipse>(list, [](const Ellipse& e) { return e.box.width == 41; });
    const int halfway =
        placeOf<LineSegment>(list, [](const LineSegment& l) { return l.x1 == 424; });
    const int outline = placeOf<FillRect>(list, [](const FillRect& r) {
        return r.box == DeviceRect{0, 0, 849, 1};  // the field's top edge, 849 wide
    });
    EXPECT_LT(halfway, ball);
    EXPECT_LT(ball, outline);
    // The key outline at x 768 is drawn after (over) the box of "D".
    const int boxOfD = placeOf<Text>(list, [](const Text& t) { return t.text == "D"; });
    const int keyEdge =
        placeOf<LineSegment>(list, [](const LineSegment& l) { return l.x1 == 768; });
    EXPECT_LT(boxOfD, keyEdge);
}

TEST_F(DrawingRules, OutlinesRunInsideTheBoxOnePixelWideAtEveryRatio) {
    // The left goal at ratio 2: box 0..17 by 368..641, a 2-pixel outline inside it.
    const auto rects = only<FillRect>(draw(2.0));
    auto has = [&](DeviceRect box, Rgb colour) {
        return std::any_of(rects.begin(), rects.end(),
                           [&](const FillRect& r) { return r.box == box && r.colour == colour; });
    };
    EXPECT_TRUE(has({0, 368, 18, 274}, kWhite));  // the solid fill
    EXPECT_TRUE(has({0, 368, 18, 2}, kWhite));
    EXPECT_TRUE(has({0, 640, 18, 2}, kWhite));
    EXPECT_TRUE(has({16, 368, 2, 274}, kWhite));

    // At 1.5 the pen rounds to 2: the halfway line and the ball's outline are 2 pixels wide.
    const auto list = draw(1.5);
    const auto lines = only<LineSegment>(list);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const LineSegment& l) {
        return l.x1 == 636 && l.x2 == 636 && l.y1 == 780 && l.y2 == 0 && l.width == 2;
    }));
    EXPECT_EQ(only<Ellipse>(list)[1].pen, 2);
}

TEST_F(DrawingRules, LabelsAreOpaqueBoxesWithOneLineOfTextInTheirFace) {
    const auto list = draw(1.5);
    const auto texts = only<Text>(list);
    ASSERT_EQ(texts.size(), 8U);
    const Text& red = texts[0];  // Label1, "Red": 21.75 pt bold at 96 dpi times 1.5
    EXPECT_EQ(red.text, "Red");
    EXPECT_EQ(red.face.families[0], "Dancing Script");
    EXPECT_EQ(red.face.classicName, "Viner Hand ITC");
    EXPECT_EQ(red.pixelSize, 44);
    EXPECT_EQ(red.weight, 700);
    EXPECT_EQ(red.align, TextAlign::Left);
    EXPECT_EQ(red.colour, (Rgb{0xFF, 0, 0}));
    const Text& counter = texts[1];  // lblRed: 24 pt, centred, button text
    EXPECT_EQ(counter.box, (DeviceRect{300, 888, 86, 62}));
    EXPECT_EQ(counter.face.families[0], "Liberation Sans");
    EXPECT_EQ(counter.pixelSize, 48);
    EXPECT_EQ(counter.align, TextAlign::Centre);
    EXPECT_EQ(counter.colour, kBlack);
    const int back =
        placeOf<FillRect>(list, [&](const FillRect& r) { return r.box == counter.box; });
    EXPECT_EQ(std::get<FillRect>(list[back]).colour, kGreen);
    EXPECT_EQ(std::get_if<Text>(&list[back + 1])->text, "0");

    host.controls().label("lblRed").setCaption("1");
    EXPECT_EQ(only<Text>(draw(1.5))[1].text, "1");
}

TEST_F(DrawingRules, SystemColoursAreTheStandardSchemes) {
    EXPECT_EQ(resolve(kWindowBackground), kWhite);
    EXPECT_EQ(resolve(kWindowText), kBlack);
    EXPECT_EQ(resolve(kButtonText), kBlack);
    EXPECT_EQ(resolve(Colour::rgb(0x404040)), (Rgb{0x40, 0x40, 0x40}));
}

TEST_F(DrawingRules, ARepaintOfTheBallDrawsOnlyWhatItTouches) {
    const Drawing drawing(1.0);
    const TwipBox ball = host.controls().shape("shpBall").box();
    const DeviceRect dirty = drawing.dirtied(ball);
    EXPECT_EQ(dirty, (DeviceRect{399, 215, 52, 44}));  // one pixel more on every side
    EXPECT_EQ(Drawing(1.5).dirtied(ball), (DeviceRect{598, 322, 79, 67}));

    const auto list = draw(1.0, dirty);
    EXPECT_EQ(only<Text>(list).size(), 0U);
    // The ball alone: inside the centre circle, away from its outline, that circle draws nothing.
    EXPECT_EQ(only<Ellipse>(list).size(), 1U);
    EXPECT_EQ(only<LineSegment>(list).size(), 1U) << "the halfway line alone";
    const auto onOutline = only<Ellipse>(draw(1.0, {320, 230, 10, 10}));
    ASSERT_EQ(onOutline.size(), 1U);
    EXPECT_EQ(onOutline[0].fill, EllipseFill::None);
}

TEST_F(DrawingRules, AFarAwayBallStaysInRangeAndOutOfTheRepaint) {
    host.controls().shape("shpBall").setLeft(-3.0e38F);
    host.controls().shape("shpBall").setTop(3.0e38F);
    const DeviceRect dirty = Drawing(2.0).dirtied(host.controls().shape("shpBall").box());
    EXPECT_FALSE(dirty.intersects({0, 0, 1694, 1292}));
    EXPECT_EQ(only<Ellipse>(draw(2.0, {0, 0, 1694, 1292})).size(), 3U);
}

// The grid only saves looking at controls: what it draws is what the whole list draws.
TEST_F(DrawingRules, TheIndexDrawsWhatTheWholeListDraws) {
    for (double ratio : {1.0, 1.5, 2.0}) {
        const Drawing drawing(ratio);
        const SceneIndex index(host.controls(), drawing);
        for (const TwipBox ball : {TwipBox{6000, 3240, 735, 615}, TwipBox{4800, 3300, 735, 615},
                                   TwipBox{0, 3000, 735, 615}, TwipBox{11500, 8200, 735, 615},
                                   TwipBox{-9000, 20000, 735, 615}}) {
            host.controls().shape("shpBall").setLeft(ball.left);
            host.controls().shape("shpBall").setTop(ball.top);
            for (const DeviceRect clip :
                 {drawing.dirtied(ball), DeviceRect{0, 0, 2000, 2000}, DeviceRect{-50, -50, 60, 60},
                  DeviceRect{100, 500, 700, 90}, DeviceRect{63, 63, 2, 2}}) {
                std::vector<Primitive> whole, found;
                drawing.drawScene(host.controls(), host.form().backColour, clip, whole);
                index.drawScene(host.form().backColour, clip, found);
                EXPECT_EQ(found, whole) << "ratio " << ratio << ", clip " << clip.left << ", "
                                        << clip.top << ", ball at " << ball.left;
            }
        }
    }
}

}  // namespace
}  // namespace voltaro
