#include "scene/layout.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "scene/controls.h"

namespace voltaro {
namespace {

template <typename Body>
int countOf(std::span<const ControlRecord> list) {
    int n = 0;
    for (const auto& record : list) {
        n += std::holds_alternative<Body>(record.body) ? 1 : 0;
    }
    return n;
}

TEST(Layout, SixtyFiveControlsNumberedInListOrder) {
    const auto list = form1Controls();
    ASSERT_EQ(list.size(), 65U);
    for (std::size_t i = 0; i < list.size(); ++i) {
        EXPECT_EQ(list[i].number, static_cast<int>(i) + 1) << list[i].name;
    }
    EXPECT_EQ(countOf<ShapeRecord>(list), 7);
    EXPECT_EQ(countOf<LineRecord>(list), 48);
    EXPECT_EQ(countOf<LabelRecord>(list), 8);
    EXPECT_EQ(countOf<TimerRecord>(list), 2);

    std::set<std::string> names;
    for (const auto& record : list) {
        names.insert(record.name);
    }
    EXPECT_EQ(names.size(), 59U);
    EXPECT_EQ(std::string(list.front().name), "tmrGoal");
    EXPECT_EQ(std::string(list[50].name), "shpBall");
    EXPECT_EQ(std::string(list.back().name), "Line2");
    EXPECT_EQ(list.back().index, 0);
}

TEST(Layout, OnlyLine2AndLine5AreArraysWithIndicesZeroToThree) {
    std::map<std::string, std::set<int>> arrays;
    for (const auto& record : form1Controls()) {
        if (record.index != kNoIndex) {
            arrays[record.name].insert(record.index);
        }
    }
    const std::set<int> zeroToThree{0, 1, 2, 3};
    EXPECT_EQ(arrays.size(), 2U);
    EXPECT_EQ(arrays["Line2"], zeroToThree);
    EXPECT_EQ(arrays["Line5"], zeroToThree);
}

TEST(Layout, TheForm) {
    const FormRecord& form = form1Record();
    EXPECT_STREQ(form.caption, "Soccer Game: VOLTARO!");
    EXPECT_EQ(form.backColour, Colour::rgb(0x00C000));
    EXPECT_EQ(form.backColour.stored(), 0x0000C000U);
    EXPECT_EQ(form.clientWidth, 12705);
    EXPECT_EQ(form.clientHeight, 9690);
    EXPECT_EQ(form.startLeft, 3405);
    EXPECT_EQ(form.startTop, 2475);
    EXPECT_EQ(form.scaleLeft, 0.0F);
    EXPECT_EQ(form.scaleTop, 0.0F);
}

TEST(Layout, ColoursAreStoredTheClassicWay) {
    EXPECT_EQ(Colour::rgb(0xFF0000).stored(), 0x000000FFU);  // red is 0x00BBGGRR
    EXPECT_EQ(Colour::rgb(0x404040).stored(), 0x00404040U);
    EXPECT_EQ(kWindowBackground.stored(), 0x80000005U);
    EXPECT_EQ(kButtonText.stored(), 0x80000012U);
    EXPECT_TRUE(kWindowText.isSystem());
    EXPECT_EQ(kWindowText.systemIndex(), 8);
}

// The controls the procedures use, as created at start-up, read back their table values.
TEST(Controls, StartAtTheirDesignPlaces) {
    const Controls controls(form1Controls());
    const std::map<std::string, TwipBox> expected{
        {"shpGoal2", {0, 2760, 135, 2055}},   {"shpGoal1", {12600, 2760, 135, 2055}},
        {"shpRect", {0, 0, 12735, 7815}},     {"shpBlue", {9840, 3360, 855, 855}},
        {"shpRed", {1920, 3360, 855, 855}},   {"shpBall", {6000, 3240, 735, 615}},
        {"Shape2", {4800, 2160, 3015, 2895}},
    };
    for (const auto& [name, box] : expected) {
        EXPECT_EQ(controls.shape(name).box(), box) << name;
    }
    EXPECT_EQ(controls.label("lblRed").Caption(), "0");
    EXPECT_EQ(controls.label("lblBlue").Caption(), "0");
    EXPECT_EQ(controls.label("Label3").Caption(), "Blue");
    EXPECT_EQ(controls.shape("shpBall").fill(), FillStyle::DiagonalCross);
    EXPECT_EQ(controls.shape("shpBall").kind(), ShapeKind::Circle);
}

TEST(Controls, TimersAreEnabledWithTheirRequestedIntervals) {
    Controls controls(form1Controls());
    EXPECT_EQ(controls.timer("tmrGoal").Interval(), 2);
    EXPECT_EQ(controls.timer("tmrBall").Interval(), 3);
    EXPECT_TRUE(controls.timer("tmrGoal").Enabled());
    EXPECT_TRUE(controls.timer("tmrBall").Enabled());
}

TEST(Controls, ReachedByNameOnlyAndOfTheRightKind) {
    Controls controls(form1Controls());
    EXPECT_THROW(controls.shape("lblRed"), std::out_of_range);
    EXPECT_THROW(controls.label("shpBall"), std::out_of_range);
    EXPECT_THROW(controls.shape("shpNowhere"), std::out_of_range);
}

struct Recorder : ControlObserver {
    std::vector<std::pair<std::string, TwipBox>> moves;
    std::vector<std::string> captions;
    void shapeMoved(const Shape& s, const TwipBox& before) override {
        moves.emplace_back(s.name(), before);
    }
    void captionChanged(const Label& l) override { captions.push_back(l.Caption()); }
};

TEST(Controls, AReadReturnsTheLastWriteAndEveryChangeIsAnnounced) {
    Controls controls(form1Controls());
    Recorder recorder;
    controls.setObserver(&recorder);
    Shape& ball = controls.shape("shpBall");
    ball.setLeft(-40.5F);
    ball.setLeft(-40.5F);  // no change, no redraw
    ball.setTop(9280);
    controls.label("lblBlue").setCaption("1");
    EXPECT_EQ(ball.box(), (TwipBox{-40.5F, 9280, 735, 615}));
    ASSERT_EQ(recorder.moves.size(), 2U);
    EXPECT_EQ(recorder.moves[0].second, (TwipBox{6000, 3240, 735, 615}));
    EXPECT_EQ(recorder.moves[1].second, (TwipBox{-40.5F, 3240, 735, 615}));
    EXPECT_EQ(recorder.captions, std::vector<std::string>{"1"});
}

}  // namespace
}  // namespace voltaro
