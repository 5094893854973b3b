#include "online/tick_match.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <sstream>

#include "online/snapshot.h"
#include "online_inputs.h"
#include "replay_session.h"

namespace voltaro::online {
namespace {

using test::inputsAt;
using test::play;
using test::playTo;
using test::randomInputs;
using Kind = Input::Kind;

Input keyDown(Seat seat, std::int16_t key, std::uint32_t tick) {
    return {.kind = Kind::KeyDown, .seat = seat, .tick = tick, .key = key};
}
Input repeatEvery(Seat seat, std::uint32_t delayUs, std::uint32_t intervalUs, std::uint32_t tick) {
    return {.kind = Kind::KeyRepeat,
            .seat = seat,
            .tick = tick,
            .delayUs = delayUs,
            .intervalUs = intervalUs};
}
Input server(Kind kind, std::uint32_t tick) {
    return {.kind = kind, .seat = Seat::Spectator, .tick = tick};
}

Scene sceneOf(ReplaySession& session) {
    return online::sceneOn(session.host().controls());
}

// Whole random matches: their record, run line by line on the replay tool's Form1, shows the
// match's scene at every tick that has an event and ends with its form variables and boxes.
TEST(TickMatch, ItsRecordReplaysToItsSceneAtEveryTick) {
    int ended = 0;
    for (unsigned seed = 1; seed <= 60; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        const auto inputs = randomInputs(random, 1200);
        test::TextLog log;
        TickMatch match(&log);
        std::vector<Scene> scenes;
        match.apply(inputsAt(inputs, 0));
        scenes.push_back(match.scene());
        while (match.tick() < 1200) {
            playTo(match, inputs, match.tick() + 1);
            scenes.push_back(match.scene());
        }

        ReplaySession session;
        std::istringstream record(log.text);
        std::vector<std::string> boxes;
        for (std::string line, problem; std::getline(record, line);) {
            if (line.starts_with("# tick ")) {
                const auto tick = std::stoul(line.substr(7));
                ASSERT_LE(tick, 1200U);
                if (tick > 0) {
                    ASSERT_EQ(sceneOf(session), scenes[tick - 1]) << "before " << line;
                }
            } else if (line.starts_with("# box ")) {
                boxes.push_back(line.substr(6));
            } else if (!line.starts_with("#")) {
                ASSERT_TRUE(session.runLine(line, problem)) << line << ": " << problem;
            }
        }
        EXPECT_EQ(sceneOf(session), match.scene());
        EXPECT_EQ(session.form().state(), match.snapshot().form);
        ASSERT_EQ(boxes.size(), match.boxes().size());
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            EXPECT_EQ(boxes[i], match.boxes()[i].text);
        }
        EXPECT_EQ(log.finished, match.ended() ? 1 : 0);
        ended += match.ended();
    }
    EXPECT_GE(ended, 3);  // goals were among them
}

// Within a tick: the timers in list order, then the repeats (whoever's fell due first going
// first), then the tick's inputs in order; a player's arrow and letter move their own piece.
TEST(TickMatch, RunsTimersThenRepeatsThenInputsAtEachTick) {
    test::TextLog log;
    TickMatch match(&log);
    const std::vector<Input> inputs = {
        repeatEvery(Seat::Red, 250000, 400000, 0),
        repeatEvery(Seat::Blue, 260000, 400000, 0),
        keyDown(Seat::Blue, 38, 1),  // blue's arrow is blue's W: due again at 275625 us
        keyDown(Seat::Red, 87, 2),   // red's W is red's arrow: due again at 281250 us (tick 18)
        keyDown(Seat::Red, 32, 18),
    };
    play(match, inputs, 19);
    EXPECT_NE(log.text.find("# tick 1\ngoal\nball\nkey 87\n# tick 2\ngoal\nball\nkey 38\n"),
              std::string::npos)
        << log.text;
    EXPECT_NE(log.text.find("# tick 18\ngoal\nball\nkey 87\nkey 38\nkey 32\n# tick 19\n"),
              std::string::npos)
        << log.text;
    EXPECT_TRUE(log.text.starts_with("# tick 0\n# tick 1\n"));

    // A press takes first the repeats due before it: here one that new settings made due.
    test::TextLog changedLog;
    TickMatch changed(&changedLog);
    play(changed,
         {repeatEvery(Seat::Blue, 1000000, 400000, 0), keyDown(Seat::Blue, 83, 30),
          repeatEvery(Seat::Blue, 250000, 400000, 50), keyDown(Seat::Red, 32, 50)},
         51);
    EXPECT_NE(changedLog.text.find("# tick 50\ngoal\nball\nkey 83\nkey 32\n# tick 51\n"),
              std::string::npos)
        << changedLog.text;
    EXPECT_EQ(ownKeyCode(Seat::Red, 65), 37);
    EXPECT_EQ(ownKeyCode(Seat::Blue, 39), 68);
    EXPECT_EQ(ownKeyCode(Seat::Blue, 13), 13);
}

// A pause lets go of every key and runs no tick; presses meanwhile do nothing; a resume drops
// the ticks up to it and the grid goes on from the next one.
TEST(TickMatch, PausesAndResumesAtTheirTicks) {
    test::TextLog log;
    TickMatch match(&log);
    const std::vector<Input> inputs = {keyDown(Seat::Red, 38, 1), server(Kind::Pause, 5),
                                       keyDown(Seat::Blue, 87, 9), server(Kind::Resume, 40)};
    play(match, inputs, 5);
    const Scene atPause = match.scene();
    EXPECT_TRUE(match.paused());
    playTo(match, inputs, 39);
    EXPECT_EQ(match.scene(), atPause);
    playTo(match, inputs, 80);  // red's repeat would have come at tick 33
    EXPECT_FALSE(match.paused());
    EXPECT_EQ(log.text.find("key 38", log.text.find("# tick 2\n")), std::string::npos);
    EXPECT_EQ(log.text.find("# tick 6\n"), std::string::npos);
    EXPECT_NE(log.text.find("# tick 5\ngoal\nball\n# tick 41\ngoal\nball\n"), std::string::npos)
        << log.text;
}

// The ball left alone ends in a goal: the "Goal!" box over the ball in the goal, the winner's
// box over the pieces back in place with the counter up, the record closed once, and nothing
// after it.
TEST(TickMatch, AGoalEndsTheMatchWithItsBoxes) {
    test::TextLog log;
    TickMatch match(&log);
    match.apply(test::toTheGoal());
    while (!match.ended() && match.tick() < 2000) {
        match.step();
    }
    ASSERT_TRUE(match.ended());
    ASSERT_EQ(match.boxes().size(), 2U);
    EXPECT_EQ(match.boxes()[0].text, "Goal!");
    EXPECT_NE(match.boxes()[0].scene.ball.left, 6000.0F);
    EXPECT_EQ(match.boxes()[1].scene, match.scene());
    EXPECT_EQ(match.scene().ball.left, 6000.0F);
    EXPECT_EQ(std::stoi(match.scene().redScore) + std::stoi(match.scene().blueScore), 1);
    EXPECT_NE(log.text.find("goal\n# box Goal!\n# box GAME OVER! "), std::string::npos);
    const auto atEnd = match.snapshot();
    match.step(std::vector{keyDown(Seat::Red, 38, match.tick() + 1)});
    EXPECT_EQ(match.scene(), atEnd.scene);
    EXPECT_EQ(log.finished, 1);
}

// A snapshot, restored into a new match or into one that has run on to its end, goes on
// exactly as the match it was taken from, through its text too.
TEST(TickMatch, GoesOnFromASnapshotAsStraightPlay) {
    for (unsigned seed = 1; seed <= 150; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        const auto inputs = randomInputs(random, 900, 40);
        const auto cut = std::uniform_int_distribution<std::uint32_t>(0, 700)(random);
        TickMatch straight;
        play(straight, inputs, cut);
        const auto snapshot = straight.snapshot();
        const auto decoded = decodeSnapshot(encode(snapshot));
        ASSERT_TRUE(decoded);
        ASSERT_EQ(*decoded, snapshot);

        TickMatch fresh, ranOn;
        play(ranOn, inputs, 900);
        fresh.restore(*decoded);
        ranOn.restore(snapshot);
        EXPECT_EQ(ranOn.snapshot(), snapshot);
        for (TickMatch* match : {&straight, &fresh, &ranOn}) {
            playTo(*match, inputs, 900);
        }
        EXPECT_EQ(fresh.snapshot(), straight.snapshot());
        EXPECT_EQ(ranOn.snapshot(), straight.snapshot());
    }
}

std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> all;
    std::istringstream in(text);
    for (std::string w; in >> w;) {
        all.push_back(w);
    }
    return all;
}

std::string joined(const std::vector<std::string>& all) {
    std::string text;
    for (const auto& w : all) {
        text += (text.empty() ? "" : " ") + w;
    }
    return text;
}

// Texts of every kind survive the round trip; anything cut, padded, out of range or not of
// this layout is no snapshot.
TEST(Snapshot, RoundTripsAndRefusesWhatIsNotOne) {
    std::mt19937 random(7);
    const auto inputs = randomInputs(random, 2000, 60);
    TickMatch match;
    play(match, inputs, 300);
    auto snapshot = match.snapshot();
    snapshot.boxes.push_back({"Run-time error '6':\n\nOverflow 100% \xC3\xA9", match.scene()});
    snapshot.scene.redScore = "";
    snapshot.paused = true;
    const std::string text = encode(snapshot);
    EXPECT_EQ(text.find_first_of("\n\r\t"), std::string::npos);
    ASSERT_EQ(decodeSnapshot(text), snapshot);

    EXPECT_FALSE(decodeSnapshot(""));
    EXPECT_FALSE(decodeSnapshot("match2" + text.substr(6)));
    EXPECT_FALSE(decodeSnapshot(text + " "));
    EXPECT_FALSE(decodeSnapshot(text + " 0"));
    EXPECT_FALSE(decodeSnapshot(" " + text));
    const auto all = words(text);
    for (std::size_t i = 0; i < all.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(decodeSnapshot(joined({all.begin(), all.begin() + i})));
        for (const char* bad :
             {"x", "99999999999999999999", "-40000", "7fc00000", "7f800000", "=%4", "=%G1", ""}) {
            auto changed = all;
            changed[i] = bad;
            if (changed[i] != all[i]) {
                EXPECT_FALSE(decodeSnapshot(joined(changed))) << bad;
            }
        }
    }
}

TEST(Snapshot, DigestsAgreeForEqualMatchesAndDifferAfterATick) {
    EXPECT_EQ(digestOf(""), 0xcbf29ce484222325ULL);  // FNV-1a's published values
    EXPECT_EQ(digestOf("a"), 0xaf63dc4c8601ec8cULL);
    std::mt19937 random(11);
    const auto inputs = randomInputs(random, 200);
    TickMatch a, b;
    play(a, inputs, 150);
    play(b, inputs, 150);
    EXPECT_EQ(a.digest(), b.digest());
    EXPECT_EQ(a.digest(), digestOf(encode(a.snapshot())));
    playTo(b, inputs, 151);
    EXPECT_NE(a.digest(), b.digest());
}

TEST(ClampedRepeat, KeepsAKeyboardsRangeInWholeMicroseconds) {
    EXPECT_EQ(clampedRepeat(300.0004, 1000.0 / 30).delayUs, 300000U);
    EXPECT_EQ(clampedRepeat(300, 1000.0 / 30).intervalUs, RepeatTiming{}.intervalUs);
    EXPECT_EQ(clampedRepeat(1, 1).delayUs, 250000U);
    EXPECT_EQ(clampedRepeat(1, 1).intervalUs, 33333U);
    EXPECT_EQ(clampedRepeat(1e9, 1e9).delayUs, 1000000U);
    EXPECT_EQ(clampedRepeat(1e9, 1e9).intervalUs, 400000U);
    const auto odd = clampedRepeat(std::nan(""), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(odd.delayUs, RepeatTiming{}.delayUs);
    EXPECT_EQ(odd.intervalUs, RepeatTiming{}.intervalUs);
}

}  // namespace
}  // namespace voltaro::online
