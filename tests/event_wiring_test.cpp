#include "scene/event_wiring.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "scene/recording_host.h"

namespace voltaro {
namespace {

// Records which procedure ran, with what, and can be told to act inside one.
struct SpyForm : FormEvents {
    std::vector<std::string> calls;
    std::function<void()> onGoalTick;
    void Form_Load() override { calls.push_back("Load"); }
    void Form_KeyDown(std::int16_t& KeyCode, std::int16_t Shift) override {
        calls.push_back("KeyDown " + std::to_string(KeyCode) + " " + std::to_string(Shift));
    }
    void tmrBall_Timer() override { calls.push_back("tmrBall"); }
    void tmrGoal_Timer() override {
        calls.push_back("tmrGoal");
        if (onGoalTick) {
            onGoalTick();
        }
    }
};

// A host whose message box lets the rest of the program try to run while it is open, as a
// desktop message loop would.
struct BusyHost : RecordingHost {
    std::function<void()> whileOpen;
    void showMessageBox(const std::string& prompt) override {
        RecordingHost::showMessageBox(prompt);
        if (whileOpen) {
            whileOpen();
        }
    }
};

struct Wiring : ::testing::Test {
    BusyHost host;
    SpyForm form;
    EventWiring wiring{host, form};
    const Timer& tmrBall = host.controls().timer("tmrBall");
    const Timer& tmrGoal = host.controls().timer("tmrGoal");
};

TEST_F(Wiring, LoadComesFirstAndOnlyOnce) {
    EXPECT_FALSE(wiring.timerTick(tmrBall));
    EXPECT_FALSE(wiring.keyDown(37));
    wiring.load();
    wiring.load();
    EXPECT_TRUE(wiring.timerTick(tmrBall));
    EXPECT_TRUE(wiring.timerTick(tmrGoal));
    EXPECT_TRUE(wiring.keyDown(87, 1));
    EXPECT_EQ(form.calls, (std::vector<std::string>{"Load", "tmrBall", "tmrGoal", "KeyDown 87 1"}));
}

TEST_F(Wiring, EndStopsEverythingWithStatusZero) {
    wiring.load();
    form.onGoalTick = [&] { host.End(); };
    wiring.timerTick(tmrGoal);
    EXPECT_TRUE(wiring.ended());
    EXPECT_EQ(wiring.exitStatus(), 0);
    EXPECT_EQ(host.exitStatus(), 0);
    EXPECT_FALSE(wiring.timerTick(tmrBall));
    EXPECT_FALSE(wiring.keyDown(32));
    EXPECT_EQ(form.calls.back(), "tmrGoal");
}

TEST_F(Wiring, RuntimeErrorIsReportedAndEndsWithStatusOne) {
    wiring.load();
    form.onGoalTick = [] { throw RuntimeError::overflow(); };
    wiring.timerTick(tmrGoal);
    EXPECT_EQ(host.exitStatus(), 1);
    EXPECT_EQ(host.takeError(), "Run-time error '6':\n\nOverflow");
    EXPECT_FALSE(wiring.timerTick(tmrBall));
}

TEST_F(Wiring, NothingReachesTheFormWhileAMessageBoxIsOpen) {
    wiring.load();
    int goalTicks = 0;
    form.onGoalTick = [&] {
        if (++goalTicks == 1) {
            host.MsgBox("Goal!");
        }
    };
    std::vector<bool> delivered;
    host.whileOpen = [&] {
        EXPECT_TRUE(host.messageBoxOpen());
        delivered.push_back(wiring.timerTick(tmrGoal));
        delivered.push_back(wiring.timerTick(tmrBall));
        delivered.push_back(wiring.keyDown(39));
    };
    wiring.timerTick(tmrGoal);
    EXPECT_EQ(delivered, (std::vector<bool>{false, false, false}));
    EXPECT_EQ(goalTicks, 1);
    EXPECT_FALSE(host.messageBoxOpen());
    EXPECT_TRUE(wiring.timerTick(tmrBall));  // and play goes on after the box
}

TEST_F(Wiring, ClosingTheWindowEndsWithStatusZeroAndRunsNoProcedure) {
    wiring.load();
    wiring.closeWindow();
    EXPECT_EQ(host.exitStatus(), 0);
    EXPECT_FALSE(wiring.timerTick(tmrBall));
    EXPECT_EQ(form.calls, std::vector<std::string>{"Load"});
}

}  // namespace
}  // namespace voltaro
