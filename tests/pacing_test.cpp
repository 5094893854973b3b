#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "scene/key_repeat.h"
#include "scene/layout.h"
#include "scene/paced_timers.h"
#include "scene/tick_schedule.h"

namespace voltaro {
namespace {

using namespace std::chrono_literals;
using Ns = std::chrono::nanoseconds;

TEST(TickSchedule, NoTimerTicksFasterThanSixtyFourTimesASecond) {
    EXPECT_EQ(TickSchedule(2ms, 0ns).period(), 15625us);
    EXPECT_EQ(TickSchedule(3ms, 0ns).period(), 15625us);
    EXPECT_EQ(TickSchedule(100ms, 0ns).period(), 100ms);
}

TEST(TickSchedule, DeadlinesStayOnTheirGridWhateverTheLateness) {
    TickSchedule schedule(3ms, 1s);
    EXPECT_EQ(schedule.nextDue(), 1s + 15625us);
    EXPECT_FALSE(schedule.due(1s + 15624us));
    int delivered = 0;
    // Fired up to a millisecond late each time: a second holds exactly 64 ticks, no drift.
    for (Ns now = 1s; now < 2s + 2ms; now += 250us) {
        if (schedule.due(now) && now >= schedule.nextDue() + 900us) {
            schedule.delivered(now);
            ++delivered;
        }
    }
    EXPECT_EQ(delivered, 64);
    EXPECT_EQ(schedule.nextDue(), 2s + 15625us);
}

TEST(TickSchedule, AfterAStallTheLateTickComesOnceAndTheGridResumes) {
    TickSchedule schedule(2ms, 0ns);
    schedule.delivered(500ms);  // 32 deadlines were missed
    EXPECT_EQ(schedule.nextDue(), 500ms + 15625us);
    EXPECT_FALSE(schedule.due(500ms + 1ms)) << "no burst of catch-up ticks";
}

// Presses and releases on a controllable clock, counting KeyDowns per code.
struct Keyboard {
    KeyRepeat repeat{500ms, Ns(1s) / 30};
    std::map<int, int> downs;
    std::vector<int> order;

    void press(int key, Ns at) {
        if (repeat.press(key, static_cast<std::int16_t>(key), at)) {
            record(key);
        }
    }
    void runUntil(Ns end, Ns step = 1ms) {
        for (Ns now = clock; now <= end; now += step) {
            repeat.deliverDue(now, [this](std::int16_t code) { record(code); });
        }
        clock = end;
    }
    void record(int code) {
        ++downs[code];
        order.push_back(code);
    }
    Ns clock{0};
};

// Both hosts wake once for the form's two timers: each due timer ticks once, in list order, and
// a message box drops only what fell due under it.
TEST(PacedTimers, EachDueTimerTicksOnceInListOrderAndABoxDropsOnlyWhatFellDue) {
    Controls controls(form1Controls());
    PacedTimers timers;
    timers.start(controls, 0ns);
    const KeyRepeat noKeys(500ms, 33ms);
    EXPECT_EQ(timers.nextWakeUp(noKeys), 15625us);
    EXPECT_EQ(timers.takeDue(15624us).count, 0u);

    std::vector<std::string> names;
    for (const Timer* timer : timers.takeDue(100ms)) {  // late: one tick each, not six
        names.push_back(timer->name());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"tmrGoal", "tmrBall"}));
    EXPECT_EQ(timers.nextWakeUp(noKeys), 109375us);

    timers.dropDue(100ms + 1us);  // a box closed before the next deadline: nothing is skipped
    EXPECT_EQ(timers.nextWakeUp(noKeys), 109375us);
    timers.dropDue(140ms);
    EXPECT_EQ(timers.nextWakeUp(noKeys), 140625us);
    EXPECT_EQ(timers.takeDue(140ms).count, 0u);
}

TEST(KeyRepeat, TwoHeldKeysRepeatEquallyAndIndependently) {
    Keyboard kb;
    kb.press(39, 0ns);  // red holds Right
    kb.press(83, 0ns);  // blue holds S in the same instant
    kb.runUntil(1500ms);
    // One press, then a repeat at 500 ms and 30 a second after it.
    EXPECT_EQ(kb.downs[39], 1 + 1 + 30);
    EXPECT_EQ(kb.downs[39], kb.downs[83]);
    // Within an instant the order is the order of pressing.
    EXPECT_EQ(kb.order[0], 39);
    EXPECT_EQ(kb.order[1], 83);
    EXPECT_EQ(kb.order[2], 39);
    EXPECT_EQ(kb.order[3], 83);
}

TEST(KeyRepeat, TheFirstKeyKeepsRepeatingWhenASecondIsPressed) {
    Keyboard kb;
    kb.press(39, 0ns);
    kb.runUntil(1000ms);
    const int before = kb.downs[39];
    kb.press(83, 1000ms);
    kb.runUntil(2000ms);
    EXPECT_EQ(kb.downs[39] - before, 30) << "red did not stop when blue pressed";
    EXPECT_EQ(kb.downs[83], 1 + 1 + 15);
}

TEST(KeyRepeat, ReleaseAndReleaseAllStopRepeatsAtOnce) {
    Keyboard kb;
    kb.press(39, 0ns);
    kb.press(87, 0ns);
    kb.runUntil(600ms);
    kb.repeat.release(39);
    const int right = kb.downs[39];
    kb.runUntil(1000ms);
    EXPECT_EQ(kb.downs[39], right);
    EXPECT_GT(kb.downs[87], 2);
    kb.repeat.releaseAll();  // focus lost, window minimised or a message box opened
    const int w = kb.downs[87];
    kb.runUntil(3000ms);
    EXPECT_EQ(kb.downs[87], w);
    EXPECT_FALSE(kb.repeat.nextDue());
}

TEST(KeyRepeat, APressOfAHeldKeyIsNotCountedAgain) {
    Keyboard kb;
    kb.press(37, 0ns);
    kb.press(37, 40ms);  // the desktop's own repeat arriving as a press
    kb.press(37, 80ms);
    kb.runUntil(400ms);
    EXPECT_EQ(kb.downs[37], 1);
    kb.repeat.release(37);
    kb.press(37, 450ms);  // a real second press after the release
    EXPECT_EQ(kb.downs[37], 2);
}

TEST(KeyRepeat, AStalledHostGetsOneRepeatNotABurst) {
    Keyboard kb;
    kb.press(40, 0ns);
    kb.runUntil(2000ms, 2000ms);  // nothing ran for two seconds
    EXPECT_EQ(kb.downs[40], 2);
    EXPECT_GT(*kb.repeat.nextDue(), 2000ms);
    EXPECT_LE(*kb.repeat.nextDue(), 2000ms + kb.repeat.interval());
}

// The compositor's settings can arrive just after a press: a key still waiting for its first
// repeat waits for the new delay from its press; one already repeating keeps its place and
// takes the new rate.
TEST(KeyRepeat, NewSettingsApplyToKeysAlreadyHeld) {
    Keyboard kb;
    kb.press(37, 0ns);
    kb.runUntil(600ms);  // repeating since 500 ms
    kb.press(87, 600ms);
    kb.repeat.setTiming(200ms, 100ms);
    EXPECT_LE(*kb.repeat.nextDue(), 600ms + Ns(1s) / 30) << "Left keeps its next repeat";
    kb.runUntil(1000ms);
    EXPECT_EQ(kb.downs[87], 1 + 3)
        << "W: its first repeat 200 ms after its press, then 10 a second";
    EXPECT_EQ(kb.downs[37], 1 + 4 + 4);
}

}  // namespace
}  // namespace voltaro
