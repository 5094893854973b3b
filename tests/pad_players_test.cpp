#include "pads/pad_players.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "pads/joystick_devices.h"
#include "pads/polled_pads.h"

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

// Pads as a browser shows them: whole looks, deflections from -1 to 1, the standard layout.
class PadLooks : public Pads {
  protected:
    PolledPads polled{pads};
    static constexpr std::uint32_t kA = 1U << PolledPads::kBottomButton;
    static constexpr std::uint32_t kUp = 1U << PolledPads::kDPadUp;
    void look(std::vector<PolledPads::Reading> shown) { polled.read(shown); }
    void stick(double x, double y) { look({{1, 0, x, y}}); }
};

TEST_F(PadLooks, TheStickPressesAtHalfWayAndLetsGoAtThreeEighthsBothWays) {
    look({{1, 0, 0.0, 0.0}});
    stick(0.499, -0.499);
    EXPECT_EQ(out.take(), Log{}) << "inside the dead zone";
    stick(0.5, -0.5);
    EXPECT_EQ(out.take(), (Log{"+39", "+38"}));
    stick(0.376, -0.376);
    stick(0.49, -0.49);  // back out again: the same press, no second step
    stick(0.3755, -0.3755);
    EXPECT_EQ(out.take(), Log{}) << "held until three eighths";
    stick(0.375, -0.375);
    EXPECT_EQ(out.take(), (Log{"-39", "-38"}));
    stick(-0.5, 0.5);
    stick(-0.376, 0.376);
    EXPECT_EQ(out.take(), (Log{"+37", "+40"}));
    stick(-0.375, 0.375);
    EXPECT_EQ(out.take(), (Log{"-37", "-40"}));
    stick(-7.0, std::nan(""));  // past the end, and no number at all
    EXPECT_EQ(out.take(), Log{"+37"});
    EXPECT_EQ(PolledPads::axisValue(-1.0), -32767);
    EXPECT_EQ(PolledPads::axisValue(1.0), 32767);
}

TEST_F(PadLooks, PadsComeAndGoWithTheLooksAndTheButtonThatBroughtOneAnswersNothing) {
    look({{5, kUp | kA, 0.0, 0.0}});
    EXPECT_EQ(out.take(), Log{"+38"}) << "a direction held as it comes plays at once";
    look({{5, kUp, 0.0, 0.0}, {6, 1U << (PolledPads::kDPadUp + 3), 0.0, 0.0}});
    look({{5, kUp | kA, 0.0, 0.0}, {6, 0, 0.0, 0.0}, {6, kA, 0.0, 0.0}});  // 6 shown twice
    EXPECT_EQ(out.take(), (Log{"+68", "ok", "-68"}));
    look({{7, kUp, 0.9, 0.0}, {6, 0, 0.0, 0.0}});  // 5 gone: red for 7, with what it holds
    EXPECT_EQ(out.take(), (Log{"-38", "+38", "+39"}));
    EXPECT_EQ(pads.sideOf(7), Side::Red);
    look({});
    EXPECT_EQ(out.take(), (Log{"-38", "-39"}));
    EXPECT_EQ(pads.count(), 0U);
    look({{5, kA, 0.0, 0.0}});
    EXPECT_EQ(out.take(), Log{}) << "the same pad again is a new pad";
}

// The kernel's list of input devices, as a folder of the test's own.
class PadDevices : public ::testing::Test {
  protected:
    void SetUp() override {
        if (sizeof(unsigned long) != 8) {
            GTEST_SKIP() << "the devices' capabilities below are a 64-bit kernel's";
        }
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root);
    }
    ~PadDevices() override { std::filesystem::remove_all(root); }
    void device(const std::string& name, const std::string& keys) {
        const auto capabilities = root / name / "device" / "capabilities";
        std::filesystem::create_directories(capabilities);
        std::ofstream(capabilities / "key") << keys << "\n";
    }
    const std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("voltaro-input-" + std::to_string(getpid()));
};

TEST_F(PadDevices, AGamepadOrJoystickAmongKeyboardsAndMiceIsFound) {
    EXPECT_FALSE(joystickPresent(root / "absent"));
    EXPECT_FALSE(joystickPresent(root));
    device("event0", "1000000000007 ff9f207ac14057ff febeffdfffefffff fffffffffffffffe");
    device("event1", "1f0000 0 0 0 0");  // a mouse's buttons, just below a joystick's
    device("event2", "");
    device("event3", "ffffffffffffffff zz 0 0 0");
    device("mouse0", "7cdb000000000000 0 0 0 0");  // only event devices tell their buttons
    EXPECT_FALSE(joystickPresent(root));
    device("event4", "7cdb000000000000 0 0 0 0");  // an Xbox pad: BTN_SOUTH on
    EXPECT_TRUE(joystickPresent(root));
    std::filesystem::remove_all(root / "event4");
    device("event5", "ffff00000000 0 0 0 0");  // a stick: BTN_TRIGGER to BTN_DEAD
    EXPECT_TRUE(joystickPresent(root));
    std::filesystem::remove_all(root / "event5");
    std::filesystem::create_directories(root / "js0");
    EXPECT_TRUE(joystickPresent(root));
    EXPECT_FALSE(hasJoystickButtons("1 0 0 0 0 0"));  // a tablet's pen, just past them
    EXPECT_TRUE(hasJoystickButtons("8000000000000000 0 0 0 0"));
}

}  // namespace
}  // namespace voltaro
