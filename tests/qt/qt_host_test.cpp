#include "qt/qt_host.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTimer>
#include <functional>

#include "box_answerer.h"
#include "game/form1.h"
#include "qt/key_codes.h"

namespace voltaro {
namespace {

// Counts what reaches the form's procedures; can fault on a tick when told to.
struct SpyForm : FormEvents {
    std::vector<std::int16_t> keys;
    int ballTicks = 0, goalTicks = 0;
    bool loaded = false, tickBeforeLoad = false;
    bool faultOnTick = false;
    void Form_Load() override { loaded = true; }
    void Form_KeyDown(std::int16_t& KeyCode, std::int16_t) override { keys.push_back(KeyCode); }
    void tmrBall_Timer() override {
        tickBeforeLoad |= !loaded;
        ++ballTicks;
        if (faultOnTick) {
            throw RuntimeError::overflow();
        }
    }
    void tmrGoal_Timer() override {
        tickBeforeLoad |= !loaded;
        ++goalTicks;
    }
};

void runEventsFor(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

void press(QWidget& window, int key, Qt::KeyboardModifiers modifiers = {}, const QString& text = {},
           bool autoRepeat = false) {
    QKeyEvent event(QEvent::KeyPress, key, modifiers, text, autoRepeat);
    QApplication::sendEvent(&window, &event);
}

void release(QWidget& window, int key) {
    QKeyEvent event(QEvent::KeyRelease, key, {});
    QApplication::sendEvent(&window, &event);
}

TEST(KeyCodes, TheClassicCodesForEveryKey) {
    EXPECT_EQ(hostKeyCode(Qt::Key_Left, false), 37);
    EXPECT_EQ(hostKeyCode(Qt::Key_Up, false), 38);
    EXPECT_EQ(hostKeyCode(Qt::Key_Right, false), 39);
    EXPECT_EQ(hostKeyCode(Qt::Key_Down, false), 40);
    EXPECT_EQ(hostKeyCode(Qt::Key_W, false), 87);
    EXPECT_EQ(hostKeyCode(Qt::Key_A, false), 65);
    EXPECT_EQ(hostKeyCode(Qt::Key_Space, false), 32);
    EXPECT_EQ(hostKeyCode(Qt::Key_Return, false), 13);
    EXPECT_EQ(hostKeyCode(Qt::Key_Enter, true), 13);
    EXPECT_EQ(hostKeyCode(Qt::Key_7, false), 55);
    EXPECT_EQ(hostKeyCode(Qt::Key_7, true), 103);
    EXPECT_EQ(hostKeyCode(Qt::Key_Exclam, false), 49);
    EXPECT_EQ(hostKeyCode(Qt::Key_F5, false), 116);
    EXPECT_EQ(hostKeyCode(Qt::Key_Escape, false), 27);
    EXPECT_EQ(hostKeyCode(Qt::Key_Shift, false), 16);
    EXPECT_EQ(hostKeyCode(Qt::Key_unknown, false), 0);
}

// A key is given with the letter it types (Qt's upper-case code) and its XKB key code.
TEST(KeyCodes, LatinLettersByWhatTheyTypeOtherLettersByTheirUsPlace) {
    // AZERTY: the key labelled A sits where Q is on a US keyboard, and still plays A.
    EXPECT_EQ(hostKeyCode(Qt::Key_A, false, 24), 65);
    EXPECT_EQ(hostKeyCode(Qt::Key_W, false, 52), 87);
    EXPECT_EQ(hostKeyCode(Qt::Key_Udiaeresis, false, 34), 0) << "a Latin letter keeps its own code";
    // Russian: Ц, Ф, Ы, В are in the places of W, A, S, D; Greek: Σ in the place of S.
    EXPECT_EQ(hostKeyCode(0x0426, false, 25), 87);
    EXPECT_EQ(hostKeyCode(0x0424, false, 38), 65);
    EXPECT_EQ(hostKeyCode(0x042B, false, 39), 83);
    EXPECT_EQ(hostKeyCode(0x0412, false, 40), 68);
    EXPECT_EQ(hostKeyCode(0x03A3, false, 39), 83);
    EXPECT_EQ(hostKeyCode(0x042F, false, 52), 90) << "first of the bottom row";
    EXPECT_EQ(hostKeyCode(0x0416, false, 47), 186) << "Ж, in the place of ;";
    EXPECT_EQ(hostKeyCode(0x0401, false, 49), 192) << "Ё, in the place of `";
    EXPECT_EQ(hostKeyCode(0x0425, false, 34), 219) << "Х, in the place of [";
    EXPECT_EQ(hostKeyCode(0x0426, false, 0), 0) << "no key code known";
}

class Host : public ::testing::Test {
  protected:
    ~Host() override { QApplication::processEvents(); }
    QtHost host;
    SpyForm spy;
};

TEST_F(Host, TheWindowIsTheFormsWindow) {
    host.start(spy);
    EXPECT_EQ(host.window().windowTitle(), "Soccer Game: VOLTARO!");
    EXPECT_EQ(host.window().size(), QSize(847, 646));
    EXPECT_TRUE(host.window().isVisible());
    EXPECT_FALSE(host.window().isMaximized());
    EXPECT_EQ(host.window().focusPolicy(), Qt::StrongFocus);
}

TEST_F(Host, KeyPressesReachTheFormWithTheirCodes) {
    host.start(spy);
    press(host.window(), Qt::Key_Left);
    release(host.window(), Qt::Key_Left);
    press(host.window(), Qt::Key_W, {}, "W");  // w with Caps Lock
    release(host.window(), Qt::Key_W);
    press(host.window(), Qt::Key_W, Qt::ShiftModifier, "W");
    release(host.window(), Qt::Key_W);
    press(host.window(), Qt::Key_Space, {}, " ");
    release(host.window(), Qt::Key_Space);
    press(host.window(), Qt::Key_Tab);
    release(host.window(), Qt::Key_Tab);
    EXPECT_EQ(spy.keys, (std::vector<std::int16_t>{37, 87, 87, 32, 9}));
}

TEST_F(Host, BothTimersTickAtSixtyFourAFollowingLoad) {
    host.start(spy);
    runEventsFor(1000);
    EXPECT_FALSE(spy.tickBeforeLoad);
    EXPECT_NEAR(spy.ballTicks, 64, 4);
    EXPECT_NEAR(spy.goalTicks, 64, 4);
}

TEST_F(Host, HeldKeysRepeatOnTheirOwnAndTheDesktopsRepeatsAreIgnored) {
    host.start(spy);
    press(host.window(), Qt::Key_Right);
    for (int i = 0; i < 5; ++i) {
        press(host.window(), Qt::Key_Right, {}, {}, true);  // the desktop's own repeats
    }
    runEventsFor(300);
    EXPECT_EQ(spy.keys.size(), 1U) << "nothing before the repeat delay";
    press(host.window(), Qt::Key_S, {}, "s");
    runEventsFor(700);
    const auto rights = std::count(spy.keys.begin(), spy.keys.end(), 39);
    const auto downs = std::count(spy.keys.begin(), spy.keys.end(), 83);
    EXPECT_GE(rights, 8) << "red keeps repeating after blue pressed";
    EXPECT_GE(downs, 2);
    release(host.window(), Qt::Key_Right);
    release(host.window(), Qt::Key_S);
    const auto held = spy.keys.size();
    runEventsFor(200);
    EXPECT_EQ(spy.keys.size(), held) << "released keys stop at once";
}

TEST_F(Host, LosingTheFocusReleasesEveryKey) {
    host.start(spy);
    press(host.window(), Qt::Key_Up);
    EXPECT_TRUE(host.keyRepeat().anyHeld());
    QFocusEvent focusOut(QEvent::FocusOut);
    QApplication::sendEvent(&host.window(), &focusOut);
    EXPECT_FALSE(host.keyRepeat().anyHeld());
    runEventsFor(700);
    EXPECT_EQ(spy.keys.size(), 1U);
}

TEST_F(Host, ClosingTheWindowEndsWithStatusZero) {
    QTimer::singleShot(100, &host, [&] { host.window().close(); });
    EXPECT_EQ(host.run(spy), 0);
    EXPECT_FALSE(host.window().isVisible());
}

TEST_F(Host, ARuntimeErrorIsReportedAndEndsWithStatusOne) {
    spy.faultOnTick = true;
    BoxAnswerer boxes;
    boxes.watch();
    EXPECT_EQ(host.run(spy), 1);
    ASSERT_EQ(boxes.texts.size(), 1U);
    EXPECT_EQ(boxes.texts[0], "Run-time error '6':\n\nOverflow");
    EXPECT_EQ(spy.ballTicks, 1);
}

class QtMatch : public ::testing::Test {
  protected:
    ~QtMatch() override { QApplication::processEvents(); }
    QtHost host;
    Form1 form{host};
};

TEST_F(QtMatch, AGoalIsAnnouncedOnceHoweverManyTicksPassUnderTheBox) {
    host.controls().shape("shpBall").setLeft(12000);
    host.controls().shape("shpBall").setTop(3000);
    host.controls().shape("shpRed").setLeft(500);
    BoxAnswerer boxes;
    boxes.answerAfterMs = 400;  // some 25 ticks of each timer
    boxes.look = [&](const QString& text) {
        if (text == "GAME OVER! Red is the Winner") {
            const Controls& c = host.controls();
            EXPECT_EQ(c.label("lblRed").Caption(), "1");
            EXPECT_EQ(c.shape("shpBall").box(), (TwipBox{6000, 3000, 735, 615}));
            EXPECT_EQ(c.shape("shpRed").Left(), 1920);
        }
    };
    boxes.watch();
    EXPECT_EQ(host.run(form), 0);
    EXPECT_EQ(boxes.texts, (std::vector<QString>{"Goal!", "GAME OVER! Red is the Winner"}));
    EXPECT_EQ(host.controls().shape("shpBall").Left(), 6000)
        << "the ball did not move under the box";
}

TEST_F(QtMatch, ClosingTheWindowUnderAMessageBoxEndsWithStatusZero) {
    host.controls().shape("shpBall").setLeft(0);
    host.controls().shape("shpBall").setTop(3000);
    BoxAnswerer boxes;
    boxes.instead = [&](QMessageBox& box) {
        QTimer::singleShot(50, &box, [&] { host.window().close(); });
        return true;
    };
    boxes.watch();
    EXPECT_EQ(host.run(form), 0);
    EXPECT_EQ(boxes.texts, std::vector<QString>{"Goal!"});
    EXPECT_EQ(host.controls().label("lblBlue").Caption(), "0") << "nothing ran after the close";
}

TEST_F(QtMatch, TheWindowShowsTheNewScoreBeforeTheWinnerIsNamed) {
    host.controls().shape("shpBall").setLeft(0);
    host.controls().shape("shpBall").setTop(3000);
    BoxAnswerer boxes;
    int darkInCounter = -1;
    boxes.look = [&](const QString& text) {
        if (text.startsWith("GAME OVER")) {
            const QImage shot = host.window().grab().toImage();
            darkInCounter = 0;
            for (int y = 584; y < 625; ++y) {
                for (int x = 536; x < 609; ++x) {
                    darkInCounter += shot.pixel(x, y) == 0xFF000000 ? 1 : 0;
                }
            }
        }
    };
    boxes.watch();
    EXPECT_EQ(host.run(form), 0);
    EXPECT_GT(darkInCounter, 10) << "blue's counter is painted";
}

}  // namespace
}  // namespace voltaro
