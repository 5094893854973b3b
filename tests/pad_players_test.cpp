#include "pads/pad_players.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace voltaro {
namespace {

// Writes down what the pads press, by code: "+38" a key down, "-38" its key up, "ok".
struct Presses : PadOutput {
    std::vector<std::string> log;
    std::vector<std::pair<int, std::int16_t>> held;

    void keyDown(int key, std::int16_t code) override {
        EXPECT_LT(key, 0) << "never a keyboard key's id";
        held.emplace_back(key, code);
        log.push_back("+" + std::to_string(code));
    }
    void keyUp(int key) override {
        const auto it =
            std::find_if(held.begin(), held.end(), [key](auto& h) { return h.first == key; });
        ASSERT_NE(it, held.end()) << "let go of a key never pressed";
        log.push_back("-" + std::to_string(it->second));
        held.erase(it);
    }
    void confirm() override { log.push_back("ok"); }

    std::vector<std::string> take() { return std::exchange(log, {}); }
};

using Log = std::vector<std::string>;

class Pads : public ::testing::Test {
  protected:
    Presses out;
    PadPlayers pads{out};
};

TEST_F(Pads, FirstPadPlaysRedSecondBlueAndAThirdWaitsForAFreeSide) {
    pads.connect(7);
    pads.connect(3);
    pads.connect(9);
    pads.connect(7);  // announced twice
    EXPECT_EQ(pads.count(), 3U);
    EXPECT_EQ(pads.sideOf(7), Side::Red);
    EXPECT_EQ(pads.sideOf(3), Side::Blue);
    EXPECT_EQ(pads.sideOf(9), std::nullopt);

    const PadButton directions[] = {PadButton::Up, PadButton::Down, PadButton::Left,
                                    PadButton::Right};
    for (PadButton d : directions) {
        pads.button(7, d, true);
        pads.button(7, d, false);
        pads.button(3, d, true);
        pads.button(3, d, false);
        pads.button(9, d, true);  // waiting: plays nobody
    }
    EXPECT_EQ(out.take(), (Log{"+38", "-38", "+87", "-87", "+40", "-40", "+83", "-83", "+37", "-37",
                               "+65", "-65", "+39", "-39", "+68", "-68"}));

    // Red unplugged with a direction held: it is let go, and the waiting pad takes red with
    // the directions it holds.
    pads.button(7, PadButton::Up, true);
    pads.button(9, PadButton::Up, false);
    pads.button(9, PadButton::Down, false);
    out.take();
    pads.disconnect(7);
    EXPECT_EQ(out.take(), (Log{"-38", "+37", "+39"}));
    EXPECT_EQ(pads.sideOf(9), Side::Red);

    // Blue unplugged with nobody waiting; the next pad plugged in plays blue.
    pads.disconnect(3);
    pads.disconnect(3);
    pads.button(3, PadButton::Up, true);
    EXPECT_EQ(out.take(), Log{});
    pads.connect(4);
    EXPECT_EQ(pads.sideOf(4), Side::Blue);
}

TEST_F(Pads, TheStickHoldsPastHalfWayAndLetsGoBelowThreeEighths) {
    pads.connect(1);
    pads.axis(1, PadAxis::X, 16383);  // just short of half way
    pads.axis(1, PadAxis::Y, -12000);
    EXPECT_EQ(out.take(), Log{});
    pads.axis(1, PadAxis::X, 16384);
    pads.axis(1, PadAxis::X, 32767);
    pads.axis(1, PadAxis::X, 12289);  // resting near the threshold: still held
    EXPECT_EQ(out.take(), Log{"+39"});
    pads.axis(1, PadAxis::X, 12288);
    EXPECT_EQ(out.take(), Log{"-39"});
    pads.axis(1, PadAxis::X, -32768);  // left, and straight across to right
    pads.axis(1, PadAxis::X, 32767);
    EXPECT_EQ(out.take(), (Log{"+37", "-37", "+39"}));
    pads.axis(1, PadAxis::Y, -30000);  // a diagonal holds two directions, each a key of its own
    pads.axis(1, PadAxis::Y, 30000);
    EXPECT_EQ(out.take(), (Log{"+38", "-38", "+40"}));
}

TEST_F(Pads, ADirectionHeldByTheDPadAndTheStickIsOneKeyLetGoWhenBothAre) {
    pads.connect(1);
    pads.button(1, PadButton::Left, true);
    pads.axis(1, PadAxis::X, -32768);
    pads.button(1, PadButton::Left, false);
    EXPECT_EQ(out.take(), Log{"+37"});
    pads.axis(1, PadAxis::X, 0);
    EXPECT_EQ(out.take(), Log{"-37"});
}

TEST_F(Pads, TheBottomButtonAnswersOnItsPressFromAnyPad) {
    pads.button(5, PadButton::Confirm, true);  // unknown pad
    pads.connect(1);
    pads.connect(2);
    pads.connect(3);
    pads.button(1, PadButton::Confirm, true);
    pads.button(1, PadButton::Confirm, false);
    pads.button(3, PadButton::Confirm, true);
    EXPECT_EQ(out.take(), (Log{"ok", "ok"}));
}

}  // namespace
}  // namespace voltaro
