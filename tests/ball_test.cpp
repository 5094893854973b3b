#include <gtest/gtest.h>

#include "match_fixture.h"

namespace voltaro::test {
namespace {

class Ball : public MatchTest {
  protected:
    // A snapshot that matches neither player: both far below the field, the ball's own edges
    // far from either span.
    void snapshotMatchingNobody() {
        place("shpRed", 0, 6960);
        place("shpBlue", 11880, 6960);
        place("shpBall", 6000, 200);
        key(32);
        place("shpRed", 1920, 3360);
        place("shpBlue", 9840, 3360);
    }
    void startAt(float left, float top, const char* dirX, const char* dirY) {
        place("shpBall", left, top);
        setDirections(dirX, dirY);
    }
    // Puts the ball's direction words straight into a case; the form itself only ever writes
    // the same four words.
    void setDirections(const char* x, const char* y) {
        form.state().strDirX = x;
        form.state().strDirY = y;
    }
};

TEST_F(Ball, BeforeAnyKeyItDriftsDownAndLeftOutOfTheField) {
    expectDirections("right", "down");
    ballTick();
    expectAt("shpBall", 6020, 3260);
    expectDirections("left", "down");
    for (int tick = 2; tick <= 198; ++tick) {
        ballTick();
    }
    // At Top 7200 the bottom edge says "up" but both player tests say "down" again.
    expectAt("shpBall", 2080, 7200);
    expectDirections("left", "down");
    for (int tick = 0; tick < 104 && shape("shpBall").Left() > 0; ++tick) {
        ballTick();
    }
    expectAt("shpBall", 0, 9280);
    ballTick();
    expectAt("shpBall", 20, 9300);
    ballTick();
    expectAt("shpBall", 0, 9320);
    ballTick();
    expectAt("shpBall", 20, 9340);
}

TEST_F(Ball, TheFirstKeyPressEndsTheDriftFromTheNextTick) {
    for (int tick = 0; tick < 10; ++tick) {
        ballTick();
    }
    key(32);
    ballTick();  // the snapshot now shows the ball where it was, away from both players
    expectDirections("left", "down");
    const float top = shape("shpBall").Top();
    for (int tick = 0; tick < 200; ++tick) {
        ballTick();
    }
    EXPECT_LT(shape("shpBall").Top(), top + 200 * 20) << "it turned somewhere";
}

TEST_F(Ball, TurnsAtTheLeftAndRightEdges) {
    snapshotMatchingNobody();
    startAt(20, 3000, "left", "down");
    ballTick();
    expectAt("shpBall", 0, 3020);
    expectDirections("right", "down");
    ballTick();
    expectAt("shpBall", 20, 3040);

    startAt(11980, 3000, "right", "down");  // reaches 12000: right edge 12735, the field's
    ballTick();
    expectDirections("left", "down");
    startAt(11960, 3000, "right", "down");  // reaches 11980: right edge 12715, keeps going
    ballTick();
    expectDirections("right", "down");
}

TEST_F(Ball, TurnsAtTheTopAndBottomEdges) {
    snapshotMatchingNobody();
    startAt(6000, 20, "left", "up");
    ballTick();
    expectDirections("left", "down");
    startAt(6000, 7180, "left", "down");  // reaches 7200: bottom edge 7815
    ballTick();
    expectDirections("left", "up");
    startAt(6000, 7160, "left", "down");  // reaches 7180
    ballTick();
    expectDirections("left", "down");
}

TEST_F(Ball, BeyondAnEdgeGetsTheSameWordAsAtIt) {
    snapshotMatchingNobody();
    startAt(-20, 3000, "left", "down");
    ballTick();
    expectAt("shpBall", -40, 3020);
    expectDirections("right", "down");
    startAt(6000, -100, "right", "up");
    ballTick();
    expectAt("shpBall", 6020, -120);
    expectDirections("right", "down");
}

TEST_F(Ball, EdgesAreTheFieldsOwnAndTheirSumsRoundToThirtyTwoBits) {
    snapshotMatchingNobody();
    place("shpRect", 500, 500);  // right edge 13235, bottom edge 8315
    const struct {
        float left, top;
        const char *fromX, *fromY, *toX, *toY;
    } cases[] = {
        {520, 3000, "left", "up", "right", "up"},   {540, 3000, "left", "up", "left", "up"},
        {12480, 3000, "right", "up", "left", "up"}, {12460, 3000, "right", "up", "right", "up"},
        {6000, 520, "left", "up", "left", "down"},  {6000, 540, "left", "up", "left", "up"},
        {6000, 7680, "left", "down", "left", "up"}, {6000, 7660, "left", "down", "left", "down"},
        {6000, 3000, "Left", "Up", "Left", "Up"},  // words are compared exactly: no move
    };
    for (const auto& c : cases) {
        startAt(c.left, c.top, c.fromX, c.fromY);
        ballTick();
        expectDirections(c.toX, c.toY);
    }
    expectAt("shpBall", 6000, 3000);

    // A ball as large as 5000: edges that 7735 - 2^-11 + 5000 and 2815 - 2^-12 + 5000 reach
    // only once rounded to 32 bits.
    place("shpRect", 0, 0);
    shape("shpBall").setWidth(5000);
    shape("shpBall").setHeight(5000);
    startAt(7715.0F - 0x1p-11F, 2795.0F - 0x1p-12F, "right", "down");
    ballTick();
    expectDirections("left", "up");

    // Wider and taller than the field: left and top edges first, right and bottom last.
    shape("shpBall").setWidth(20000);
    shape("shpBall").setHeight(20000);
    startAt(0, 0, "left", "up");
    ballTick();
    expectDirections("left", "up");
}

// Red's snapshot at its start place; the ball's snapshot as given.
class RedSpan : public Ball {
  protected:
    void snapshotWithBallAt(float top) {
        place("shpBall", 6000, top);
        key(32);
        place("shpBlue", 9840, 3360);
    }
    // The live Left after this tick's move is `left`.
    void tickWithLiveLeft(float left, float top = 5000) {
        startAt(left + 20, top, "left", "down");
        ballTick();
        ASSERT_EQ(shape("shpBall").Left(), left);
    }
};

TEST_F(RedSpan, BottomEdgeInsideGivesUpAndRightWhateverTheLiveTop) {
    snapshotWithBallAt(3240);  // top 3240 above red's 3360..4215, bottom 3855 inside
    for (float left : {1920.0F, 2760.0F, 2775.0F}) {
        for (float top : {500.0F, 5000.0F}) {
            tickWithLiveLeft(left, top);
            expectDirections("right", "up");
        }
    }
}

TEST_F(RedSpan, OutsideTheSpanLeavesTheWordsToTheRest) {
    snapshotWithBallAt(3240);
    tickWithLiveLeft(1900);
    expectDirections("left", "down");
    tickWithLiveLeft(2780);
    expectDirections("left", "down");
}

TEST_F(RedSpan, TopEdgeWinsWhenBothEdgesAreInside) {
    snapshotWithBallAt(3400);  // top 3400 and bottom 4015 both inside
    tickWithLiveLeft(2000);
    expectDirections("right", "down");
}

TEST_F(RedSpan, LiveLeftInsideButNeitherEdgeInsideChangesNothing) {
    // ballRight 2300 lies in red's horizontal span too, and is not looked at.
    place("shpBall", 1565, 5000);
    key(32);
    tickWithLiveLeft(2000);
    expectDirections("left", "down");
}

TEST_F(RedSpan, RightEdgeAndTopInsideHoldTheBallAtTheSpansRightEnd) {
    place("shpBall", 1565, 3400);  // ballRight 2300, ballTop 3400: both in red's spans
    key(32);
    place("shpBlue", 11880, 0);
    setDirections("left", "down");
    place("shpBall", 2775, 1000);
    ballTick();  // 2755: inside, so "right"
    expectDirections("right", "down");
    ballTick();  // 2775: inside
    expectDirections("right", "down");
    ballTick();  // 2795: outside, right of the span, ballRight inside: "left"
    expectDirections("left", "down");
    ballTick();
    EXPECT_EQ(shape("shpBall").Left(), 2775);
    startAt(1000, 1000, "left", "down");  // left of the span: keeps going left
    ballTick();
    expectDirections("left", "down");
}

TEST_F(RedSpan, RightEdgeAndBottomInsideGiveUpAndLeft) {
    place("shpBall", 1565, 3240);  // ballRight 2300 in red's span, ballTop 3240 above it
    key(32);
    startAt(1020, 5000, "right", "down");
    ballTick();  // live Left 1040, left of the span: row 4
    expectDirections("left", "up");
}

TEST_F(Ball, WhenBothPlayersMatchBlueHasTheLastWord) {
    // Both players' snapshots over the same spot, with the ball's edges arranged so that red's
    // test and blue's test pick different rows: red gets row 2, blue row 1.
    place("shpRed", 3000, 3000);
    place("shpBlue", 3000, 3300);
    place("shpBall", 3000, 3200);  // top 3200: in red's 3000..3855, not in blue's 3300..4155
    key(32);
    // Red's snapshot was taken before blue moved... both are fixed now: no movement keys.
    startAt(3420, 3000, "left", "down");
    ballTick();  // live Left 3400, inside both horizontal spans
    // Red: ballTop 3200 inside -> down/right. Blue: ballTop outside, ballBottom 3815 inside ->
    // up/right.
    expectDirections("right", "up");
}

TEST_F(Ball, APlayerMatchOverridesTheEdgeTest) {
    place("shpRed", 1000, 3360);   // spans 1000..1855 and 3360..4215
    place("shpBall", 1000, 3400);  // ballRight 1735 and ballTop 3400 inside them
    key(32);
    startAt(20, 5000, "left", "down");
    ballTick();  // the left edge says "right", red's row 3 says "left"
    expectDirections("left", "down");
    startAt(3000, 7180, "left", "down");
    ballTick();  // the bottom edge says "up", red's row 3 says "down"
    expectDirections("left", "down");
}

TEST_F(Ball, AFloatFaultInASumIsAnOverflowAndWhatWasWrittenStays) {
    place("shpBall", 3.0e38F, 3000);
    shape("shpBall").setWidth(3.0e38F);
    ballTick();  // the right-edge sum overflows
    EXPECT_TRUE(wiring.ended());
    EXPECT_EQ(host.exitStatus(), 1);
    EXPECT_EQ(host.takeError(), "Run-time error '6':\n\nOverflow");
    EXPECT_EQ(shape("shpBall").Left(), 3.0e38F + 20.0F);
    EXPECT_EQ(shape("shpBall").Top(), 3000) << "the tick ended at the fault";
}

}  // namespace
}  // namespace voltaro::test
