#include <gtest/gtest.h>

#include "match_fixture.h"

namespace voltaro::test {
namespace {

constexpr std::int16_t kLeft = 37, kUp = 38, kRight = 39, kDown = 40;
constexpr std::int16_t kW = 87, kA = 65, kS = 83, kD = 68, kSpace = 32;

using Keys = MatchTest;

TEST_F(Keys, EachKeyMovesItsPlayerOneStep) {
    const struct {
        std::int16_t code;
        const char* player;
        float left, top;
    } cases[] = {
        {kUp, "shpRed", 1920, 3160},   {kDown, "shpRed", 1920, 3560},
        {kLeft, "shpRed", 1720, 3360}, {kRight, "shpRed", 2120, 3360},
        {kW, "shpBlue", 9840, 3160},   {kS, "shpBlue", 9840, 3560},
        {kA, "shpBlue", 9640, 3360},   {kD, "shpBlue", 10040, 3360},
    };
    for (const auto& c : cases) {
        place("shpRed", 1920, 3360);
        place("shpBlue", 9840, 3360);
        key(c.code);
        expectAt(c.player, c.left, c.top);
        const char* other = std::string(c.player) == "shpRed" ? "shpBlue" : "shpRed";
        expectAt(other, other == std::string("shpRed") ? 1920 : 9840, 3360);
    }
}

TEST_F(Keys, PlayersArePinnedToTheFieldsEdges) {
    place("shpRed", 0, 3360);
    key(kLeft);  // the guard holds at 0, the step goes to -200, the limit brings it back
    expectAt("shpRed", 0, 3360);

    place("shpBlue", 11840, 3360);
    key(kD);  // 12040 + 855 passes 12735
    expectAt("shpBlue", 11880, 3360);

    place("shpRed", 1920, 6960);
    key(kDown);
    expectAt("shpRed", 1920, 6960);

    place("shpBlue", 9840, 100);
    key(kW);
    expectAt("shpBlue", 9840, 0);
}

TEST_F(Keys, RedWalksLeftTo120AndThenZero) {
    std::vector<float> lefts;
    for (int press = 0; press < 12; ++press) {
        key(kLeft);
        lefts.push_back(shape("shpRed").Left());
    }
    EXPECT_EQ(lefts[0], 1720);
    EXPECT_EQ(lefts[8], 120);
    EXPECT_EQ(lefts[9], 0);
    EXPECT_EQ(lefts[11], 0);
}

TEST_F(Keys, AKeyThatMovesNobodyStillRefreshesTheSnapshotAndTheLimits) {
    place("shpRed", -500, 8000);
    place("shpBlue", 20000, -300.5F);
    place("shpBall", 100, 200);
    key(kSpace);
    const MatchState& s = state();
    EXPECT_EQ(s.redLeft, Variant(-500.0F));
    EXPECT_EQ(s.redRight, Variant(355.0F));
    EXPECT_EQ(s.redBottom, Variant(8855.0F));
    EXPECT_EQ(s.redTop.value(), 8000);
    EXPECT_EQ(s.blueLeft, Variant(20000.0F));
    EXPECT_EQ(s.blueRight, Variant(20855.0F));
    EXPECT_EQ(s.blueBottom, Variant(554.5F));
    EXPECT_EQ(s.blueTop.value(), -300);  // -300.5 rounds to the even -300
    EXPECT_EQ(s.ballTop, Variant(200.0F));
    EXPECT_EQ(s.ballBottom, Variant(815.0F));
    EXPECT_EQ(s.ballRight.value(), 835);
    expectAt("shpRed", 0, 6960);
    expectAt("shpBlue", 11880, 0);
    expectAt("shpBall", 100, 200);  // a player never moves the ball
}

TEST_F(Keys, SnapshotsShowThePlayersBeforeThisKeysMoveAndTheLimits) {
    place("shpRed", 0, 3360);
    key(kLeft);
    EXPECT_EQ(state().redLeft, Variant(0.0F)) << "before the move and the limit";
    place("shpBlue", 11840, 3360);
    key(kD);
    EXPECT_EQ(state().blueLeft, Variant(11840.0F));
    EXPECT_EQ(state().blueRight, Variant(12695.0F));
}

TEST_F(Keys, EachPlayersSnapshotIsTakenBeforeItsOwnMoveAndLeavesTheKeyCode) {
    key(kRight);
    EXPECT_EQ(state().redLeft, Variant(1920.0F));
    EXPECT_EQ(state().blueLeft, Variant(9840.0F));
    key(kA);
    EXPECT_EQ(state().redLeft, Variant(2120.0F));
    EXPECT_EQ(state().blueLeft, Variant(9840.0F)) << "blue's own move comes after its snapshot";
    expectAt("shpBlue", 9640, 3360);
    std::int16_t code = kLeft;
    form.Form_KeyDown(code, 0);
    EXPECT_EQ(code, kLeft);
}

// A guard tests the snapshot just taken against 0. Only Down and Right can show it: a player
// with a negative Height or Width has a bottom or right edge below 0 while standing in the field.
// Up and Left guards fail only for a player already over the top or left edge, which the limits
// pin to 0 whether it moved or not.
TEST_F(Keys, GuardsLookAtTheSnapshotNotTheField) {
    const struct {
        std::int16_t code;
        const char* player;
        float size;  // Height for Down and Up, Width for Right
        float left, top;
    } cases[] = {
        {kDown, "shpRed", -3000, 3000, 3200},  {kDown, "shpRed", -3001, 3000, 3000},
        {kS, "shpBlue", -3000, 3000, 3200},    {kS, "shpBlue", -3001, 3000, 3000},
        {kRight, "shpRed", -3000, 3200, 3000}, {kRight, "shpRed", -3001, 3000, 3000},
        {kD, "shpBlue", -3000, 3200, 3000},    {kD, "shpBlue", -3001, 3000, 3000},
        {kUp, "shpRed", -4000, 3000, 2800},    {kW, "shpBlue", -4000, 3000, 2800},
        {kLeft, "shpRed", -4000, 2800, 3000},  {kA, "shpBlue", -4000, 2800, 3000},
    };
    for (const auto& c : cases) {
        Match m;
        Shape& player = m.shape(c.player);
        const bool vertical = c.code == kDown || c.code == kS || c.code == kUp || c.code == kW;
        vertical ? player.setHeight(c.size) : player.setWidth(c.size);
        m.place(c.player, 3000, 3000);
        m.key(c.code);
        EXPECT_EQ(player.Left(), c.left) << c.player << " key " << c.code << " size " << c.size;
        EXPECT_EQ(player.Top(), c.top) << c.player << " key " << c.code << " size " << c.size;
    }
}

// Each limit reads the field's own edges (at the right and bottom) or the form's scale (at the
// left and top), in the order left, top, right, bottom, comparing sums rounded to 32 bits.
TEST_F(Keys, LimitsFollowTheFieldsEdgesInTheirOrder) {
    Match moved;  // the field moved to 500, 500: its right edge 13235, its bottom edge 8315
    moved.place("shpRect", 500, 500);
    moved.shape("shpBlue").setHeight(700);
    moved.place("shpRed", 300, 300);
    moved.place("shpBlue", 12500, 7700);
    moved.key(kSpace);
    moved.expectAt("shpRed", 300, 300);      // inside the form's 0, outside the field
    moved.expectAt("shpBlue", 12380, 7615);  // 13235 - 855, 8315 - 700
    moved.place("shpRed", -100, -1);
    moved.place("shpBlue", 12000, 7500);
    moved.key(kSpace);
    moved.expectAt("shpRed", 0, 0);
    moved.expectAt("shpBlue", 12000, 7500);

    // Sums that round onto the field's edge: 7735 - 2^-11 + 5000 and 2815 - 2^-12 + 5000.
    shape("shpRed").setWidth(5000);
    shape("shpRed").setHeight(5000);
    place("shpRed", 7735.0F - 0x1p-11F, 2815.0F - 0x1p-12F);
    key(kSpace);
    expectAt("shpRed", 7735, 2815);

    // A player larger than the field: the right and bottom limits come last.
    shape("shpBlue").setWidth(20000);
    shape("shpBlue").setHeight(20000);
    place("shpBlue", 100, 100);
    key(kSpace);
    expectAt("shpBlue", -7265, -12185);
}

TEST_F(Keys, SnapshotIntegersRoundTheExactValueHalvesToEven) {
    place("shpRed", 1920, 3360.5F);
    place("shpBlue", 9840, 3361.5F);
    place("shpBall", 1000.5F, 3000);
    shape("shpBall").setWidth(1e-10F);  // the exact sum lies above the half, a Single sum on it
    key(kSpace);
    EXPECT_EQ(state().redTop.value(), 3360);
    EXPECT_EQ(state().blueTop.value(), 3362);
    EXPECT_EQ(state().ballRight.value(), 1001);
    place("shpRed", 1920, 3361.5F);
    place("shpBlue", 9840, 3360.5F);
    key(kSpace);
    EXPECT_EQ(state().redTop.value(), 3362);
    EXPECT_EQ(state().blueTop.value(), 3360);
}

TEST_F(Keys, ARoundedSnapshotOutsideSixteenBitsIsAnOverflow) {
    place("shpBall", 32500, 3240);  // ballRight 33235
    key(kSpace);
    EXPECT_EQ(host.exitStatus(), 1);
    EXPECT_EQ(host.takeError(), "Run-time error '6':\n\nOverflow");
    EXPECT_TRUE(state().redLeft == Variant(1920.0F)) << "red's snapshot was taken before";
    EXPECT_TRUE(state().blueLeft == Variant(9840.0F));
    EXPECT_TRUE(state().ballTop == Variant(3240.0F));
}

TEST_F(Keys, BeforeTheFirstKeyTheSnapshotIsEmptyAndZero) {
    const MatchState& s = state();
    EXPECT_EQ(s.strDirX, "right");
    EXPECT_EQ(s.strDirY, "down");
    for (Variant v : {s.redLeft, s.redRight, s.redBottom, s.blueLeft, s.blueRight, s.blueBottom,
                      s.ballTop, s.ballBottom}) {
        EXPECT_TRUE(v.isEmpty());
    }
    EXPECT_EQ(s.redTop.value(), 0);
    EXPECT_EQ(s.blueTop.value(), 0);
    EXPECT_EQ(s.ballRight.value(), 0);
}

}  // namespace
}  // namespace voltaro::test
