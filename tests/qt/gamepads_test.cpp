#include "qt/gamepads.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "game/form1.h"
#include "qt/pad_watch.h"
#include "qt/qt_host.h"

namespace voltaro {
namespace {

// Runs the event loop until `done`, for at most ten seconds: a loaded machine may be slow.
bool waitFor(const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 10000) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);  // the game ticks at 64 Hz
    }
    return done();
}

// A pad of SDL's own in this process, which the game's SDL finds as it would a real one.
struct VirtualPad {
    VirtualPad() {
        SDL_VirtualJoystickDesc desc{};
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        desc.naxes = SDL_CONTROLLER_AXIS_MAX;
        desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
        joystick = SDL_JoystickOpen(SDL_JoystickAttachVirtualEx(&desc));
        EXPECT_NE(joystick, nullptr) << SDL_GetError();
        id = SDL_JoystickInstanceID(joystick);
    }
    ~VirtualPad() {
        for (int i = 0; i < SDL_NumJoysticks(); ++i) {
            if (SDL_JoystickGetDeviceInstanceID(i) == id) {
                SDL_JoystickDetachVirtual(i);
            }
        }
        SDL_JoystickClose(joystick);
    }
    SDL_Joystick* joystick = nullptr;
    SDL_JoystickID id = -1;
};

// The real form with its ball held still, so that no goal cuts a test of the keys short.
struct StillBall : FormEvents {
    Form1& form;
    explicit StillBall(Form1& f) : form(f) {}
    void Form_Load() override { form.Form_Load(); }
    void Form_KeyDown(std::int16_t& KeyCode, std::int16_t Shift) override {
        form.Form_KeyDown(KeyCode, Shift);
    }
    void tmrBall_Timer() override {}
    void tmrGoal_Timer() override {}
};

class PadsInTheGame : public ::testing::Test {
  protected:
    PadsInTheGame() {
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        EXPECT_EQ(SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER), 0) << SDL_GetError();
    }
    ~PadsInTheGame() override {
        QApplication::processEvents();
        SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    }
    bool plays(const VirtualPad& pad, Side side) {
        return waitFor([&] { return pads.players().sideOf(pad.id) == side; });
    }

    QtHost host;
    Form1 form{host};
    Gamepads pads{host};
    StillBall still{form};  // outlives the test's body: the host's last events may tick it
    Shape& red = host.controls().shape("shpRed");
    Shape& blue = host.controls().shape("shpBlue");
};

TEST_F(PadsInTheGame, DPadAndStickPlayTheirSidesAsHeldKeysUntilLetGoOrUnplugged) {
    auto first = std::make_unique<VirtualPad>();  // plugged in before the game starts
    host.start(still);
    host.window().activateWindow();  // pads play only while the game has the focus
    ASSERT_TRUE(plays(*first, Side::Red));
    auto second = std::make_unique<VirtualPad>();  // and one during the match
    ASSERT_TRUE(plays(*second, Side::Blue));

    SDL_JoystickSetVirtualButton(first->joystick, SDL_CONTROLLER_BUTTON_DPAD_RIGHT, 1);
    ASSERT_TRUE(waitFor([&] { return red.Left() >= 1920 + 3 * 200; })) << "held, it repeats";
    SDL_JoystickSetVirtualButton(first->joystick, SDL_CONTROLLER_BUTTON_DPAD_RIGHT, 0);
    ASSERT_TRUE(waitFor([&] { return !host.keyRepeat().anyHeld(); }));
    const float redStopped = red.Left();

    SDL_JoystickSetVirtualAxis(second->joystick, SDL_CONTROLLER_AXIS_LEFTY, 6000);  // dead zone
    SDL_JoystickSetVirtualAxis(second->joystick, SDL_CONTROLLER_AXIS_LEFTX, -32768);
    ASSERT_TRUE(waitFor([&] { return blue.Left() <= 9840 - 3 * 200; }));
    EXPECT_EQ(blue.Top(), 3360);
    EXPECT_EQ(red.Left(), redStopped) << "each pad plays its own side";

    second.reset();  // unplugged with the stick held
    ASSERT_TRUE(waitFor([&] { return pads.players().count() == 1U; }));
    EXPECT_FALSE(host.keyRepeat().anyHeld()) << "an unplugged pad lets its keys go";
    VirtualPad third;
    EXPECT_TRUE(plays(third, Side::Blue)) << "the free side goes to the next pad";
}

// A whole match from a pad: a goal comes at once, and the bottom button answers both boxes.
TEST_F(PadsInTheGame, TheBottomButtonAnswersTheBoxes) {
    host.controls().shape("shpBall").setLeft(0);
    host.controls().shape("shpBall").setTop(3000);
    VirtualPad pad;
    std::vector<QString> answered;
    QTimer presser;
    QObject::connect(&presser, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        SDL_GameController* seen = SDL_GameControllerFromInstanceID(pad.id);  // the game's
        if (seen && SDL_GameControllerGetButton(seen, SDL_CONTROLLER_BUTTON_A)) {
            SDL_JoystickSetVirtualButton(pad.joystick, SDL_CONTROLLER_BUTTON_A, 0);
        } else if (box && !QApplication::activeWindow()) {
            box->activateWindow();  // as a window manager would
        } else if (box && !box->property("pressed").toBool() && pads.players().count() == 1U) {
            box->setProperty("pressed", true);
            answered.push_back(box->text());
            SDL_JoystickSetVirtualButton(pad.joystick, SDL_CONTROLLER_BUTTON_A, 1);
        }
    });
    presser.start(10);
    QTimer::singleShot(20000, &host, [&] {
        ADD_FAILURE() << "the boxes were not answered";
        host.window().close();
    });
    EXPECT_EQ(host.run(form), 0);
    EXPECT_EQ(answered, (std::vector<QString>{"Goal!", "GAME OVER! Blue is the Winner"}));
}

// The kernel's list of input devices and udev's nodes, as folders of the test's own.
class PadWatchHotPlug : public ::testing::Test {
  protected:
    PadWatchHotPlug() {
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(nodes);
        device("event0", "1000000000007 ff9f207ac14057ff febeffdfffefffff fffffffffffffffe");
    }
    ~PadWatchHotPlug() override { std::filesystem::remove_all(root); }
    // The kernel's entry for a device, with its keys' capabilities (as a 64-bit kernel's).
    void device(const std::string& name, const std::string& keys) {
        std::filesystem::create_directories(devices / name / "device" / "capabilities");
        std::ofstream(devices / name / "device" / "capabilities" / "key") << keys << "\n";
    }
    void node(const std::string& name) { std::ofstream(nodes / name).put('\n'); }

    const std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("voltaro-pad-watch-" + std::to_string(getpid()));
    const std::filesystem::path nodes = root / "dev";
    const std::filesystem::path devices = root / "sys";
    int found = 0;
};

TEST_F(PadWatchHotPlug, APadIsFoundOnceAsItsNodeIsMadeAndAtOnceIfThereAlready) {
    PadWatch watch([this] { ++found; }, nodes, devices);
    node("event0");
    QApplication::processEvents();
    EXPECT_EQ(found, 0) << "a keyboard is no pad";
    device("event1", "7cdb000000000000 0 0 0 0");
    node("event1");
    ASSERT_TRUE(waitFor([&] { return found == 1; }));
    device("event2", "7cdb000000000000 0 0 0 0");
    node("event2");
    QApplication::processEvents();
    EXPECT_EQ(found, 1) << "once";

    PadWatch again([this] { ++found; }, nodes, devices);
    EXPECT_EQ(found, 2) << "there already";
    PadWatch nowhere([this] { ++found; }, root / "absent", root / "absent");
    EXPECT_EQ(found, 2);
}

}  // namespace
}  // namespace voltaro
