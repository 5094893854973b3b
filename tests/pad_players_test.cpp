#include "pads/pad_players.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace voltaro {
namespace {

using Log = std::vector<std::string>;

// Writes down what the pads do: "+38" a key down, "-38" its key up, "ok" a box answered.
struct Presses : PadOutput {
    Log log;
    std::map<int, std::int16_t> held;
    void keyDown(int key, std::int16_t code) override {
        EXPECT_LT(key, 0) << "the id of a keyboard key";
        held[key] = code;
        log.push_back("+" + std::to_string(code));
    }
    void keyUp(int key) override {
        ASSERT_TRUE(held.count(key)) << "let go of a key never pressed";
        log.push_back("-" + std::to_string(held[key]));
        held.erase(key);
    }
    void confirm() override { log.push_back("ok"); }
    Log take() { return std::exchange(log, {}); }
};

class Pads : public ::testing::Test {
  protected:
    Presses out;
    PadPlayers pads{out};
};

TEST_F(Pads, SidesGoInPlugOrderAndAFreedSideToTheWaitingPadWithWhatItHolds) {
    pads.connect(7);
    pads.connect(3);
    pads.connect(9);
    pads.connect(7);  // announced twice
    for (PadButton d : {PadButton::Up, PadButton::Down, PadButton::Left, PadButton::Right}) {
        for (PadPlayers::PadId pad : {7, 3}) {
            pads.button(pad, d, true);
            pads.button(pad, d, false);
        }
    }
    EXPECT_EQ(out.take(), (Log{"+38", "-38", "+87", "-87", "+40", "-40", "+83", "-83", "+37", "-37",
                               "+65", "-65", "+39", "-39", "+68", "-68"}));

    pads.button(7, PadButton::Up, true);
    pads.button(9, PadButton::Left, true);  // waiting: moves nobody, but answers a box
    pads.button(9, PadButton::Confirm, true);
    pads.button(9, PadButton::Confirm, false);
    EXPECT_EQ(out.take(), (Log{"+38", "ok"}));
    pads.disconnect(7);
    EXPECT_EQ(out.take(), (Log{"-38", "+37"}));
    EXPECT_EQ(pads.sideOf(9), Side::Red);
    EXPECT_EQ(pads.sideOf(3), Side::Blue);
    pads.disconnect(3);
    pads.connect(4);
    EXPECT_EQ(pads.sideOf(4), Side::Blue);
    EXPECT_EQ(pads.count(), 2U);
}

TEST_F(Pads, TheStickHoldsPastHalfWayLetsGoBelowThreeEighthsAndSharesKeysWithTheDPad) {
    pads.connect(1);
    pads.axis(1, PadAxis::X, 16383);
    pads.axis(1, PadAxis::Y, -12000);
    EXPECT_EQ(out.take(), Log{}) << "inside the dead zone";
    pads.axis(1, PadAxis::X, 16384);
    pads.axis(1, PadAxis::X, 12289);  // resting near the threshold: still held, no new step
    EXPECT_EQ(out.take(), Log{"+39"});
    pads.axis(1, PadAxis::X, 12288);
    pads.axis(1, PadAxis::X, -32768);  // and straight across
    pads.axis(1, PadAxis::X, 32767);
    EXPECT_EQ(out.take(), (Log{"-39", "+37", "-37", "+39"}));
    pads.axis(1, PadAxis::Y, 30000);  // a diagonal holds two keys
    pads.button(1, PadButton::Down, true);
    pads.axis(1, PadAxis::Y, 0);
    EXPECT_EQ(out.take(), Log{"+40"}) << "held by the D-pad still";
    pads.button(1, PadButton::Down, false);
    EXPECT_EQ(out.take(), Log{"-40"});
}

}  // namespace
}  // namespace voltaro
