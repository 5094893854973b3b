#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "match_fixture.h"
#include "scene/layout.h"

namespace voltaro::test {
namespace {

// Events: ticks of both timers, the eight game keys, other keys, and moves of the pieces to
// places where edges, goals and players meet. VOLTARO_SOAK_EVENTS sets how many in all.
long soakEvents() {
    const char* events = std::getenv("VOLTARO_SOAK_EVENTS");
    return events ? std::atol(events) : 1'000'000;
}

constexpr float kInteresting[] = {-200, -40,  -20,   0,     20,    120,   135,   136,   1920,
                                  2145, 2760, 2775,  3360,  4215,  4815,  4816,  6000,  6960,
                                  7200, 9840, 11864, 11865, 11880, 12000, 12600, 12735, 14000};
constexpr std::int16_t kKeys[] = {37, 38, 39, 40, 65, 68, 83, 87, 32, 13, 48, 90, 0, 120};

// Everything but the pieces' places and the counters must keep its design value for the whole
// run; the pieces keep their sizes.
void expectOnlyAllowedChanges(const Controls& controls) {
    const auto layout = form1Controls();
    const auto& live = controls.inListOrder();
    for (std::size_t i = 0; i < layout.size(); ++i) {
        if (const auto* shape = std::get_if<Shape>(&live[i])) {
            const auto& design = std::get<ShapeRecord>(layout[i].body);
            const bool moves = shape->name() == "shpBall" || shape->name() == "shpRed" ||
                               shape->name() == "shpBlue";
            ASSERT_EQ(shape->Width(), design.width) << shape->name();
            ASSERT_EQ(shape->Height(), design.height) << shape->name();
            if (!moves) {
                ASSERT_EQ(shape->Left(), design.left) << shape->name();
                ASSERT_EQ(shape->Top(), design.top) << shape->name();
            }
        } else if (const auto* label = std::get_if<Label>(&live[i])) {
            if (label->name() != "lblRed" && label->name() != "lblBlue") {
                ASSERT_EQ(label->Caption(), std::get<LabelRecord>(layout[i].body).caption);
            }
        }
    }
}

struct Soak {
    explicit Soak(unsigned seed) : random(seed) {}

    // Runs until the match ends, `budget` events are spent or a check fails; returns the events
    // used. A failed check leaves only the helper it is in, so the loop looks for it itself.
    long play(long budget) {
        long used = 0;
        while (used < budget && !match.wiring.ended() && !::testing::Test::HasFailure()) {
            step();
            ++used;
        }
        if (match.wiring.ended() && !::testing::Test::HasFailure()) {
            checkNothingRunsAfterTheEnd();
        }
        return used;
    }

    void step() {
        const int roll = pick(100);
        if (roll < 40) {
            match.ballTick();
        } else if (roll < 65) {
            match.goalTick();
        } else if (roll < 92) {
            match.key(kKeys[pick(std::size(kKeys))]);
            expectPlayersInField();
            if (::testing::Test::HasFailure()) {
                return;
            }
        } else {
            static const char* const pieces[] = {"shpBall", "shpRed", "shpBlue"};
            const char* piece = pieces[pick(3)];
            match.place(piece, kInteresting[pick(std::size(kInteresting))],
                        kInteresting[pick(std::size(kInteresting))]);
        }
        check();
    }

    void expectPlayersInField() {
        for (const char* player : {"shpRed", "shpBlue"}) {
            const Shape& p = match.shape(player);
            ASSERT_TRUE(p.Left() >= 0 && p.Left() <= 11880) << player << " at " << p.Left();
            ASSERT_TRUE(p.Top() >= 0 && p.Top() <= 6960) << player << " at " << p.Top();
        }
    }

    void check() {
        const MatchState& s = match.state();
        ASSERT_TRUE(s.strDirX == "left" || s.strDirX == "right") << s.strDirX;
        ASSERT_TRUE(s.strDirY == "up" || s.strDirY == "down") << s.strDirY;
        ASSERT_FALSE(match.host.takeError().has_value()) << "no fault can arise at these places";

        const auto messages = match.host.takeMessages();
        const std::string red = match.label("lblRed").Caption();
        const std::string blue = match.label("lblBlue").Caption();
        if (messages.empty()) {
            ASSERT_EQ(red, "0");
            ASSERT_EQ(blue, "0");
            ASSERT_FALSE(match.wiring.ended());
            return;
        }
        // The one goal sequence: both boxes, one counter at "1", and the end.
        ++goals;
        ASSERT_EQ(goals, 1);
        ASSERT_EQ(messages.size(), 2U);
        ASSERT_EQ(messages[0], "Goal!");
        ASSERT_EQ(messages[1],
                  red == "1" ? "GAME OVER! Red is the Winner" : "GAME OVER! Blue is the Winner");
        ASSERT_EQ((red == "1") + (blue == "1"), 1);
        ASSERT_EQ((red == "0") + (blue == "0"), 1);
        match.expectAt("shpRed", 1920, 3360);
        match.expectAt("shpBlue", 9840, 3360);
        ASSERT_EQ(match.shape("shpBall").Left(), 6000);
        ASSERT_TRUE(match.wiring.ended());
        ASSERT_EQ(match.host.exitStatus(), 0);
        expectOnlyAllowedChanges(match.host.controls());
    }

    void checkNothingRunsAfterTheEnd() {
        const TwipBox ball = match.shape("shpBall").box();
        const MatchState before = match.state();
        for (int i = 0; i < 20; ++i) {
            match.ballTick();
            match.goalTick();
            match.key(37);
        }
        ASSERT_EQ(match.shape("shpBall").box(), ball);
        ASSERT_EQ(match.state().strDirX, before.strDirX);
        ASSERT_EQ(match.state().redLeft, before.redLeft);
        ASSERT_TRUE(match.host.takeMessages().empty());
    }

    std::size_t pick(std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
    }

    Match match;
    std::mt19937 random;
    int goals = 0;
};

TEST(Soak, AMillionRandomEventsKeepTheMatchSound) {
    const long total = soakEvents();
    long spent = 0;
    int matches = 0;
    int decided = 0;
    for (unsigned seed = 1; spent < total; ++seed) {
        Soak soak(seed);
        spent += soak.play(std::min(total - spent, 50'000L));
        if (::testing::Test::HasFailure()) {
            FAIL() << "seed " << seed;
        }
        expectOnlyAllowedChanges(soak.match.host.controls());
        ++matches;
        decided += soak.goals;
    }
    EXPECT_GT(decided, matches / 2) << "most random matches should find a goal";
    RecordProperty("matches", matches);
}

}  // namespace
}  // namespace voltaro::test
