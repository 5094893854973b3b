#include "client/replay_viewer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <numeric>
#include <random>
#include <sstream>

#include "client/script_line.h"
#include "online/tick_match.h"
#include "online_inputs.h"
#include "replay_session.h"

namespace voltaro::client {
namespace {

using online::Scene;
using online::TickMatch;

// The record a match of `inputs` leaves when it is played to `ticks` (or to its goal).
std::string recordOf(const std::vector<online::Input>& inputs, std::uint32_t ticks) {
    test::TextLog log;
    TickMatch match(&log);
    test::play(match, inputs, ticks);
    return log.text;
}

Scene sceneOf(ReplaySession& session) {
    return online::sceneOn(session.host().controls());
}

// What the replay tool's session shows at every tick of `record`: after all of the tick's
// commands.
std::vector<Scene> toolScenes(const std::string& record) {
    ReplaySession session;
    std::vector<Scene> scenes;
    std::istringstream in(record);
    for (std::string line, problem; std::getline(in, line);) {
        if (const auto tick = replay::recordTick(line)) {
            while (scenes.size() < *tick) {
                scenes.push_back(sceneOf(session));
            }
        } else {
            EXPECT_TRUE(session.runLine(line, problem)) << line << ": " << problem;
        }
    }
    scenes.push_back(sceneOf(session));
    return scenes;
}

// The scene the viewer shows at its tick once its boxes there are answered.
Scene settled(ReplayViewer& viewer) {
    while (viewer.openBox()) {
        viewer.answerBox(0);
    }
    return viewer.scene();
}

struct Loaded {
    std::string record;
    std::vector<Scene> scenes;
    ReplayViewer viewer;
};

void load(Loaded& l, std::string record) {
    l.record = std::move(record);
    l.scenes = toolScenes(l.record);
    ASSERT_TRUE(l.viewer.load(l.record)) << l.viewer.problem();
    ASSERT_EQ(l.viewer.lastTick() + 1, l.scenes.size());
}

// Random matches, goals among them: seeking in any order, stepping forward through every tick
// and back again, each tick shows the tool's scene; the boxes are the match's, over its scenes.
TEST(ReplayViewer, EveryTickShowsTheReplayToolsScene) {
    int goals = 0;
    for (unsigned seed = 1; seed <= 24; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        const auto inputs = test::randomInputs(random, 1500);
        Loaded l;
        load(l, recordOf(inputs, 1500));
        ReplayViewer& v = l.viewer;
        std::vector<std::uint32_t> order(v.lastTick() + 1);
        std::iota(order.begin(), order.end(), 0U);
        std::shuffle(order.begin(), order.end(), random);
        for (const std::uint32_t tick : order) {
            v.seek(tick, 0);
            ASSERT_EQ(v.tick(), tick);
            ASSERT_EQ(settled(v), l.scenes[tick]) << "seek to " << tick;
        }
        v.seek(0, 0);
        for (std::uint32_t tick = 1; tick <= v.lastTick(); ++tick) {
            v.stepForward(0);
            ASSERT_EQ(settled(v), l.scenes[tick]) << "forward to " << tick;
        }
        v.stepForward(0);  // the end stays the end
        EXPECT_EQ(v.tick(), v.lastTick());
        for (std::uint32_t tick = v.lastTick(); tick-- > 0;) {
            v.stepBack(0);
            ASSERT_EQ(settled(v), l.scenes[tick]) << "back to " << tick;
        }

        TickMatch match;
        test::play(match, inputs, 1500);
        ASSERT_EQ(v.boxes().size(), match.boxes().size());
        for (std::size_t i = 0; i < v.boxes().size(); ++i) {
            EXPECT_EQ(v.boxes()[i].text, match.boxes()[i].text);
            v.seek(v.boxes()[i].tick, 0);
            for (std::size_t open = 0; open < i; ++open) {
                v.answerBox(0);
            }
            ASSERT_NE(v.openBox(), nullptr);
            EXPECT_EQ(v.scene(), match.boxes()[i].scene) << "under " << v.boxes()[i].text;
        }
        goals += match.ended();
    }
    EXPECT_GE(goals, 2);
}

// The marks are each tick with a key press and the goal's; the time reads as a stopwatch's.
TEST(ReplayViewer, MarksKeyPressesAndTheGoalAndTellsTheTime) {
    ReplayViewer v;
    ASSERT_TRUE(v.load("# tick 0\n# tick 3\nkey 37\nkey 39\n# tick 9\nkey 32\n# tick 1234\n"))
        << v.problem();
    using Kind = ReplayViewer::Mark::Kind;
    EXPECT_EQ(v.marks(), (std::vector<ReplayViewer::Mark>{{3, Kind::Key}, {9, Kind::Key}}));
    EXPECT_EQ(v.lastTick(), 1234U);
    v.seek(1234, 0);
    EXPECT_EQ(v.positionLine(), "Tick 1234 of 1234 - 0:19.28 of 0:19.28");
    EXPECT_EQ(clockText(0), "0:00.00");
    EXPECT_EQ(clockText(38400), "10:00.00");
    EXPECT_EQ(clockText(38399), "9:59.98");
    EXPECT_EQ(clockText(0xFFFFFFFF), "1118481:03.98");

    Loaded goal;
    load(goal, recordOf(test::toTheGoal(), 2000));
    const auto& marks = goal.viewer.marks();
    ASSERT_EQ(marks.size(), 2U);
    EXPECT_EQ(marks[0], (ReplayViewer::Mark{0, Kind::Key}));
    EXPECT_EQ(marks[1], (ReplayViewer::Mark{goal.viewer.lastTick(), Kind::Goal}));
}

// The clock: the host's time at the chosen speed, a paused viewer stays put, a box holds it, the
// end stops it and play from the end starts again.
TEST(ReplayViewer, PlaysOnTheHostsTimeAtEachSpeed) {
    Loaded l;
    load(l, recordOf(test::toTheGoal(), 2000));
    ReplayViewer& v = l.viewer;
    const std::uint32_t last = v.lastTick();
    ASSERT_GT(last, 300U);
    EXPECT_FALSE(v.playing());
    v.frame(5000);
    EXPECT_EQ(v.tick(), 0U);

    v.play(1000);
    v.frame(1000 + 1000);  // a second: 64 ticks
    EXPECT_EQ(v.tick(), 64U);
    v.slower(2000);
    v.slower(2000);
    v.slower(2000);  // 1/4 at the slowest
    EXPECT_EQ(v.speedText(), "Speed 1/4");
    v.frame(3000);
    EXPECT_EQ(v.tick(), 80U);
    for (int i = 0; i < 6; ++i) {
        v.faster(3000);
    }
    EXPECT_EQ(v.speedText(), "Speed 4");
    v.frame(3500);  // half a second at 4: 128 ticks
    EXPECT_EQ(v.tick(), 208U);
    v.pause(3500);
    v.frame(60000);
    EXPECT_EQ(v.tick(), 208U);
    EXPECT_FALSE(v.playing());

    v.seek(last - 10, 4000);
    v.play(4000);
    v.frame(4000 + 30000);  // far past the end: the goal's tick, its box open
    EXPECT_EQ(v.tick(), last);
    ASSERT_NE(v.openBox(), nullptr);
    EXPECT_EQ(v.openBox()->text, "Goal!");
    v.answerBox(40000);
    ASSERT_NE(v.openBox(), nullptr);
    v.answerBox(40000);
    EXPECT_EQ(v.openBox(), nullptr);
    EXPECT_FALSE(v.playing());
    EXPECT_EQ(v.scene(), l.scenes.back());
    v.play(50000);  // from the start again
    EXPECT_EQ(v.tick(), 0U);
    EXPECT_TRUE(v.playing());
    EXPECT_TRUE(v.takeChanged());
    EXPECT_FALSE(v.takeChanged());
    v.stepForward(50000);  // a step stops the clock
    EXPECT_FALSE(v.playing());
    EXPECT_EQ(v.tick(), 1U);
}

// A box's tick is never played past however fast the clock runs: the box opens and the clock
// waits for it, then goes on.
TEST(ReplayViewer, TheClockWaitsAtABoxInTheMiddle) {
    ReplayViewer v;
    // A run-time error a hundred ticks in: its report is the box, mid-record.
    ASSERT_TRUE(v.load("# tick 0\nset shpBall.Left 32500\n# tick 100\nkey 32\n# tick 5000\n"))
        << v.problem();
    ASSERT_EQ(v.boxes().size(), 1U);
    EXPECT_EQ(v.boxes()[0].text, "Run-time error '6':\n\nOverflow");
    EXPECT_EQ(v.boxes()[0].tick, 100U);
    v.faster(0);
    v.faster(0);
    v.play(0);
    v.frame(100000);
    EXPECT_EQ(v.tick(), 100U);
    ASSERT_NE(v.openBox(), nullptr);
    v.frame(200000);
    EXPECT_EQ(v.tick(), 100U);
    EXPECT_TRUE(v.playing());
    v.answerBox(200000);
    v.frame(200000 + 1000);
    EXPECT_EQ(v.tick(), 356U);
    v.stepBack(0);
    v.stepForward(0);  // back at the box's tick: it opens again
    EXPECT_NE(v.openBox(), nullptr);
}

// What is not a match's record is refused with a sentence saying why, and leaves a viewer that
// shows nothing and does nothing.
TEST(ReplayViewer, RefusesWhatIsNotAMatchRecord) {
    const struct {
        std::string text;
        std::string problem;
    } cases[] = {
        {"", "This is not a match record: it has no \"# tick\" line."},
        {"ball\n# tick 0\n", "line 1: an event before the first \"# tick\" line: ball"},
        {"# tick 5\nball\n# tick 4\n", "line 3: earlier than tick 5: # tick 4"},
        {"# tick 0\n# tick 4294967296\n", "line 2: not a tick's number: # tick 4294967296"},
        {"# tick -1\n", "line 1: not a tick's number"},
        {"# tick 0\r\nkey 99999\r\n", "line 2: 'key' needs a whole number within -32768..32767"},
        {"# tick 0\nrm -rf /\n", "line 2: unknown command: rm -rf /"},
        {"# tick 0\n# \xff\n", "line 2: not UTF-8: # \\xFF"},
        {"# tick 0\nset shpNone.Left 1\n", "line 2: no shape of that name"},
        {"# tick 0\nset lblNone.Caption x\n", "line 2: no label of that name"},
        {"# tick 0\nset shpBall.Left 1e39\n", "line 2: not a number that fits"},
        {"# tick 0\nkey 1\x1b[2J\n",
         "line 2: 'key' needs a whole number within -32768..32767: "
         "key 1\\x1B[2J"},
        {std::string(ReplayRecord::kMaxBytes + 1, '#'), "too large for a match record"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 60));
        ReplayViewer v;
        EXPECT_FALSE(v.load(c.text));
        EXPECT_NE(v.problem().find(c.problem), std::string::npos) << v.problem();
        EXPECT_FALSE(v.loaded());
        v.play(0);
        v.frame(1000);
        v.seek(10, 0);
        v.stepForward(0);
        v.stepBack(0);
        v.answerBox(0);
        EXPECT_EQ(v.tick(), 0U);
        EXPECT_FALSE(v.playing());
    }
    // A good record after a bad one plays; the last tick may be the largest there is.
    ReplayViewer v;
    EXPECT_FALSE(v.load("nonsense\n"));
    ASSERT_TRUE(v.load("# tick 0\nkey 32\n# tick 4294967295\nball\n")) << v.problem();
    const Scene start = v.scene();
    v.seek(0xFFFFFFFF, 0);
    EXPECT_EQ(v.tick(), 0xFFFFFFFFU);
    EXPECT_NE(v.scene(), start);
    v.stepBack(0);
    EXPECT_EQ(v.tick(), 0xFFFFFFFEU);
    EXPECT_EQ(v.scene(), start);
}

// A ten-minute match: every seek, however far, runs at most a few hundred of its commands.
TEST(ReplayViewer, SeeksOverATenMinuteMatchAtOnce) {
    constexpr std::uint32_t kTenMinutes = 38400;
    Loaded l;
    load(l, recordOf({}, kTenMinutes));  // nobody presses: the ball drifts on, no goal
    ReplayViewer& v = l.viewer;
    ASSERT_EQ(v.lastTick(), kTenMinutes);
    std::mt19937 random(7);
    std::uniform_int_distribution<std::uint32_t> anyTick(0, kTenMinutes);
    using Clock = std::chrono::steady_clock;
    Clock::duration slowest{};
    for (int i = 0; i < 400; ++i) {
        const std::uint32_t tick = i % 2 ? anyTick(random) : (i % 4 ? kTenMinutes : 0);
        const auto start = Clock::now();
        v.seek(tick, 0);
        const Scene scene = v.scene();
        slowest = std::max(slowest, Clock::now() - start);
        ASSERT_EQ(scene, l.scenes[tick]) << tick;
    }
    const double ms = std::chrono::duration<double, std::milli>(slowest).count();
    std::printf("slowest seek over ten minutes of play: %.3f ms\n", ms);
    EXPECT_LT(ms, 50);
}

}  // namespace
}  // namespace voltaro::client
