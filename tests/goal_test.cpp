#include <gtest/gtest.h>

#include "match_fixture.h"

namespace voltaro::test {
namespace {

using Goal = MatchTest;

const std::vector<std::string> kBlueWins{"Goal!", "GAME OVER! Blue is the Winner"};
const std::vector<std::string> kRedWins{"Goal!", "GAME OVER! Red is the Winner"};

struct Case {
    float left, top;
    bool goal;
};

TEST_F(Goal, LeftGoalTestsTheBallsTopLeftCornerInclusively) {
    for (const Case c : {Case{135, 2760, true}, Case{136, 2760, false}, Case{135, 2759, false},
                         Case{0, 4815, true}, Case{0, 4816, false}, Case{100, 2500, false},
                         Case{-5000, 3000, true}}) {
        Match match;
        match.place("shpBall", c.left, c.top);
        match.goalTick();
        EXPECT_EQ(match.host.takeMessages(), c.goal ? kBlueWins : std::vector<std::string>{})
            << c.left << ", " << c.top;
        EXPECT_EQ(match.host.ended(), c.goal);
    }
}

TEST_F(Goal, RightGoalCountsAnyVerticalOverlapOfTheBallsBox) {
    for (const Case c :
         {Case{11865, 2145, true}, Case{11864, 2145, false}, Case{11865, 2144, false},
          Case{12000, 2500, true}, Case{12000, 4815, true}, Case{12000, 4816, false}}) {
        Match match;
        match.place("shpBall", c.left, c.top);
        match.goalTick();
        EXPECT_EQ(match.host.takeMessages(), c.goal ? kRedWins : std::vector<std::string>{})
            << c.left << ", " << c.top;
    }
}

TEST_F(Goal, TheRightGoalsReachIsASumRoundedToThirtyTwoBits) {
    shape("shpBall").setWidth(5000);
    place("shpBall", 7600.0F - 0x1p-11F, 3000);  // the right edge rounds to 12600
    goalTick();
    EXPECT_EQ(host.takeMessages(), kRedWins);
}

TEST_F(Goal, ABallInBothGoalsIsBluesGoal) {
    shape("shpGoal1").setLeft(0);  // only another layout makes both tests hold
    place("shpBall", 0, 3000);
    goalTick();
    EXPECT_EQ(host.takeMessages(), kBlueWins);
    EXPECT_EQ(label("lblBlue").Caption(), "1");
    EXPECT_EQ(label("lblRed").Caption(), "0");
}

// A host that looks at the form each time a message box opens.
struct WatchingHost : RecordingHost {
    std::function<void(const std::string&)> onBox;
    void showMessageBox(const std::string& prompt) override {
        RecordingHost::showMessageBox(prompt);
        onBox(prompt);
    }
};

TEST(GoalSequence, RunsInOrderAndEndsTheProgram) {
    WatchingHost host;
    Form1 form(host);
    EventWiring wiring(host, form);
    wiring.load();
    Controls& c = host.controls();
    wiring.timerTick(c.timer("tmrBall"));  // "left" and "down" now
    c.shape("shpBall").setLeft(12000);
    c.shape("shpBall").setTop(3000);
    c.shape("shpRed").setLeft(500);
    c.shape("shpBlue").setTop(6000);

    int boxes = 0;
    host.onBox = [&](const std::string& prompt) {
        if (++boxes == 1) {
            EXPECT_EQ(prompt, "Goal!");
            EXPECT_EQ(c.label("lblRed").Caption(), "0") << "nothing has changed yet";
            EXPECT_EQ(c.shape("shpBall").Left(), 12000);
            EXPECT_EQ(c.shape("shpRed").Left(), 500);
        } else {
            EXPECT_EQ(prompt, "GAME OVER! Red is the Winner");
            EXPECT_EQ(c.label("lblRed").Caption(), "1");
            EXPECT_EQ(c.label("lblBlue").Caption(), "0");
            EXPECT_EQ(c.shape("shpBall").box(), (TwipBox{6000, 3000, 735, 615}));
            EXPECT_EQ(c.shape("shpRed").box(), (TwipBox{1920, 3360, 855, 855}));
            EXPECT_EQ(c.shape("shpBlue").box(), (TwipBox{9840, 3360, 855, 855}));
            EXPECT_FALSE(wiring.ended());
        }
    };
    const MatchState before = form.state();
    wiring.timerTick(c.timer("tmrGoal"));
    EXPECT_EQ(boxes, 2);
    EXPECT_TRUE(wiring.ended());
    EXPECT_EQ(host.exitStatus(), 0);
    EXPECT_EQ(form.state().strDirX, before.strDirX) << "the directions stay as they are";
    EXPECT_EQ(form.state().strDirY, before.strDirY);
    EXPECT_FALSE(wiring.timerTick(c.timer("tmrBall")));
}

TEST_F(Goal, TheCounterCountsThroughItsText) {
    for (const auto& [before, after] : std::vector<std::pair<std::string, std::string>>{
             {"0", "1"}, {"7", "8"}, {"", "1"}, {"Blue", "1"}, {"2.5", "3.5"}}) {
        Match match;
        match.label("lblBlue").setCaption(before);
        match.place("shpBall", 0, 3000);
        match.goalTick();
        EXPECT_EQ(match.label("lblBlue").Caption(), after) << '"' << before << '"';
    }
}

TEST_F(Goal, ACounterThatOverflowsEndsTheSequenceAfterTheFirstBox) {
    label("lblRed").setCaption("1e999");
    place("shpBall", 12000, 3000);
    goalTick();
    EXPECT_EQ(host.takeMessages(), std::vector<std::string>{"Goal!"});
    EXPECT_EQ(host.exitStatus(), 1);
    EXPECT_EQ(label("lblRed").Caption(), "1e999");
    expectAt("shpBall", 12000, 3000);  // nothing is undone, nothing more is done
}

TEST_F(Goal, ATickOutsideBothGoalsShowsNothingAndWritesNothing) {
    struct Changes : ControlObserver {
        int count = 0;
        void shapeMoved(const Shape&, const TwipBox&) override { ++count; }
        void captionChanged(const Label&) override { ++count; }
    } changes;
    host.controls().setObserver(&changes);
    for (int tick = 0; tick < 100; ++tick) {
        goalTick();
    }
    EXPECT_EQ(changes.count, 0);
    EXPECT_TRUE(host.takeMessages().empty());
    EXPECT_FALSE(wiring.ended());
    host.controls().setObserver(nullptr);
}

TEST_F(Goal, AFloatFaultInAGoalSumIsAnOverflow) {
    shape("shpGoal2").setWidth(3.4e38F);
    shape("shpGoal2").setLeft(3.4e38F);
    goalTick();
    EXPECT_EQ(host.exitStatus(), 1);
    EXPECT_TRUE(host.takeMessages().empty());
}

}  // namespace
}  // namespace voltaro::test
