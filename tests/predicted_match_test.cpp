#include "client/predicted_match.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

#include "client/server_clock.h"
#include "online/snapshot.h"
#include "online_inputs.h"

namespace voltaro::client {
namespace {

using online::Input;
using online::Seat;
using online::TickMatch;
using test::inputsAt;
using test::playTo;

Input keyDown(Seat seat, std::int16_t key, std::uint32_t tick, std::uint32_t seq = 0) {
    return {.kind = Input::Kind::KeyDown, .seat = seat, .tick = tick, .seq = seq, .key = key};
}

// What the screen shows of a match: its scene, or the scene of its first box.
online::Scene shownOf(const TickMatch& match) {
    return match.boxes().empty() ? match.scene() : match.boxes().front().scene;
}

// The server's own copy: its inputs, played in order, and what it says of each final tick.
struct Judge {
    explicit Judge(std::vector<Input> all) : inputs(std::move(all)) {
        match.apply(inputsAt(inputs, 0));
    }
    std::uint64_t digestAt(std::uint32_t tick) {
        playTo(match, inputs, tick);
        return match.digest();
    }
    std::vector<Input> inputs;
    TickMatch match;
};

void startAtZero(PredictedMatch& copy) {
    ASSERT_TRUE(copy.start(0, online::encode(TickMatch().snapshot())));
}

// One player's (or a spectator's) copy under a relay that delays and jitters what the server
// sends, in the order the server sent it: each player's inputs reach the server in their own
// order up to the window late, the server sends each as it takes it (to its sender only when it
// came after another input of its tick), and says every kFinalEveryTicks ticks which tick is
// final and which seqs it has taken. Once everything is final, the copy shows exactly the inputs
// played in the server's order, and every final tick's digest agrees on the way.
TEST(PredictedMatch, EndsAsTheInputsPlayedInOrderWhateverTheirArrival) {
    constexpr std::uint32_t kTicks = 400;
    int rolledBack = 0;
    int unsentOwn = 0;
    for (unsigned seed = 1; seed <= 1000; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        std::vector<Input> inputs = test::randomInputs(random, kTicks, 40);
        const std::optional<Seat> own =
            seed % 5 == 0 ? std::nullopt : std::optional(seed % 2 ? Seat::Red : Seat::Blue);

        // When the server took each: within the window, each player's in their own order.
        std::vector<std::uint32_t> takenAt(inputs.size());
        std::array<std::uint32_t, 2> latest{};
        std::uniform_int_distribution<std::uint32_t> late(0, online::kWindowTicks);
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            takenAt[i] = inputs[i].tick + (inputs[i].seat == Seat::Spectator ? 0 : late(random));
            if (inputs[i].seat != Seat::Spectator) {
                auto& last = latest[inputs[i].seat == Seat::Red ? 0 : 1];
                takenAt[i] = last = std::max(last, takenAt[i]);
            }
        }
        std::vector<std::size_t> order(inputs.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return std::pair(inputs[a].tick, takenAt[a]) < std::pair(inputs[b].tick, takenAt[b]);
        });
        std::vector<Input> serverOrder;
        std::vector<bool> firstOfTick(inputs.size());
        for (const std::size_t i : order) {
            firstOfTick[i] = serverOrder.empty() || serverOrder.back().tick != inputs[i].tick;
            serverOrder.push_back(inputs[i]);
        }
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return takenAt[a] < takenAt[b]; });

        // What the relay hands on, and when: never before what was sent before it.
        struct Delivery {
            std::uint32_t at;
            std::optional<Input> input;
            std::uint32_t finalTick = 0;
            std::array<std::uint32_t, 2> seqTaken{};
        };
        std::vector<Delivery> deliveries;
        const std::uint32_t oneWay = std::uniform_int_distribution<std::uint32_t>(0, 16)(random);
        std::uniform_int_distribution<std::uint32_t> jitter(0, 3);
        std::uint32_t arrival = 0;
        const auto send = [&](std::uint32_t sent, Delivery delivery) {
            delivery.at = arrival = std::max(arrival, sent + oneWay + jitter(random));
            deliveries.push_back(delivery);
        };
        auto next = order.begin();
        std::array<std::uint32_t, 2> seqTaken{};
        int unsent = 0;
        for (std::uint32_t present = 0; present <= kTicks + 8 + 2 * online::kFinalEveryTicks;
             ++present) {
            for (; next != order.end() && takenAt[*next] <= present; ++next) {
                const Input& input = inputs[*next];
                if (input.seat != Seat::Spectator) {
                    seqTaken[input.seat == Seat::Red ? 0 : 1] = input.seq;
                }
                if (own == input.seat && firstOfTick[*next]) {
                    ++unsent;  // where its sender stamped it, ahead of its tick's others
                } else {
                    send(present, {0, input});
                }
            }
            const std::uint32_t passed = present - online::kWindowTicks - 1;  // out of the window
            if (present > online::kWindowTicks && passed % online::kFinalEveryTicks == 0) {
                send(present, {0, std::nullopt, passed, seqTaken});
            }
        }
        unsentOwn += unsent;

        Judge judge(serverOrder);
        PredictedMatch copy;
        startAtZero(copy);
        auto delivered = deliveries.begin();
        for (std::uint32_t present = 0; delivered != deliveries.end(); ++present) {
            for (const Input& input : inputsAt(inputs, present)) {
                if (own == input.seat) {
                    copy.predicted(input);  // before the server can have it
                }
            }
            for (; delivered != deliveries.end() && delivered->at <= present; ++delivered) {
                if (const auto& input = delivered->input) {
                    copy.confirmed(*input, own);
                } else {
                    const std::uint32_t tick = delivered->finalTick;
                    const auto& seqs = delivered->seqTaken;
                    ASSERT_TRUE(copy.finalTick(tick, judge.digestAt(tick),
                                               own == Seat::Red ? seqs[0] : seqs[1]));
                }
            }
            copy.advanceTo(present);
        }
        ASSERT_GE(copy.finalTickNumber(), kTicks);
        playTo(judge.match, judge.inputs, copy.presentTick());
        EXPECT_EQ(copy.scene(), shownOf(judge.match));
        rolledBack += copy.corrections() > 0;
    }
    EXPECT_GT(rolledBack, 500);
    EXPECT_GT(unsentOwn, 10000);  // most own inputs are the only one of their tick
}

// The player's own press is on the screen at the tick it was made, before the server has it;
// its echo at that tick changes nothing. The other player's press, coming late, puts the match
// back to where it would have been.
TEST(PredictedMatch, ShowsOwnPressesAtOnceAndTheOthersOnceTheyCome) {
    PredictedMatch copy;
    startAtZero(copy);
    copy.advanceTo(10);
    const float top = copy.scene().red.top;
    copy.predicted(keyDown(Seat::Red, 38, 10, 1));
    EXPECT_EQ(copy.scene().red.top, top - 200);
    EXPECT_EQ(copy.presentTick(), 10U);
    copy.predicted(keyDown(Seat::Red, 40, 10, 2));
    EXPECT_EQ(copy.scene().red.top, top);

    copy.confirmed(keyDown(Seat::Red, 38, 10, 1), Seat::Red);
    copy.confirmed(keyDown(Seat::Red, 40, 10, 2), Seat::Red);
    copy.confirmed(keyDown(Seat::Blue, 87, 5, 1), Seat::Red);
    copy.advanceTo(12);
    Judge judge(
        {keyDown(Seat::Blue, 87, 5), keyDown(Seat::Red, 38, 10), keyDown(Seat::Red, 40, 10)});
    playTo(judge.match, judge.inputs, 12);
    EXPECT_EQ(copy.scene(), judge.match.scene());
    EXPECT_EQ(copy.corrections(), 1U);  // blue's press; red's echoes moved nothing
    EXPECT_EQ(copy.lastCorrection(), 200.0F);
}

// A prediction that the echoes bear out is never corrected, however they split a tick's
// presses: own inputs stand after the server's of their tick, as the server puts them.
TEST(PredictedMatch, NeverCorrectsWhatTheEchoesBearOut) {
    std::vector<Input> mine;
    for (std::uint32_t tick = 1; tick < 20; ++tick) {
        mine.push_back(keyDown(Seat::Red, 38, tick));
        mine.push_back({.kind = Input::Kind::KeyUp, .seat = Seat::Red, .tick = tick, .key = 38});
    }
    // At the top edge by now: up then down ends lower than down then up.
    mine.push_back(keyDown(Seat::Red, 38, 20));
    mine.push_back(keyDown(Seat::Red, 40, 20));
    for (std::size_t i = 0; i < mine.size(); ++i) {
        mine[i].seq = static_cast<std::uint32_t>(i + 1);
    }
    PredictedMatch copy;
    startAtZero(copy);
    std::size_t echoed = 0;
    for (std::uint32_t present = 1; present <= 60; ++present) {
        copy.advanceTo(present);
        for (const Input& input : inputsAt(mine, present)) {
            copy.predicted(input);
        }
        if (echoed < mine.size() && mine[echoed].tick + 2 <= present) {
            copy.confirmed(mine[echoed++], Seat::Red);  // one a tick, so they fall behind
        }
    }
    EXPECT_EQ(echoed, mine.size());
    EXPECT_EQ(copy.corrections(), 0U);
    Judge judge(mine);
    playTo(judge.match, judge.inputs, 60);
    EXPECT_EQ(copy.scene(), judge.match.scene());
    EXPECT_EQ(copy.scene().red.top, 200);
}

// A press the server turned away leaves the screen; one it took where it was stamped, dealt
// with and never sent back, acts ahead of the other player's input of its tick; a present the
// final tick has overtaken catches up with the server's inputs; a digest that disagrees is
// reported; the present runs at most kMostAhead ticks past the final one.
TEST(PredictedMatch, FollowsWhatTheServerMadeFinal) {
    PredictedMatch copy;
    startAtZero(copy);
    copy.advanceTo(5);
    copy.confirmed(keyDown(Seat::Red, 38, 12), Seat::Blue);
    Judge judge({keyDown(Seat::Red, 38, 12)});
    EXPECT_FALSE(copy.finalTick(8, judge.digestAt(8) ^ 1, 0));
    EXPECT_TRUE(copy.finalTick(16, judge.digestAt(16), 0));
    copy.advanceTo(20);
    playTo(judge.match, judge.inputs, 20);
    EXPECT_EQ(copy.scene(), judge.match.scene());

    copy.predicted(keyDown(Seat::Blue, 87, 20, 1));
    EXPECT_NE(copy.scene(), judge.match.scene());
    copy.dropOwn(1);
    EXPECT_TRUE(copy.finalTick(24, judge.digestAt(24), 1));
    copy.advanceTo(24);
    EXPECT_EQ(copy.scene(), judge.match.scene());

    // Blue's key and red's space bar in one tick: each key takes the box snapshot, so which goes
    // first shows in the digest.
    copy.advanceTo(30);
    copy.predicted(keyDown(Seat::Blue, 68, 30, 2));
    copy.confirmed(keyDown(Seat::Red, 32, 30, 1), Seat::Blue);
    Judge both({keyDown(Seat::Red, 38, 12), keyDown(Seat::Blue, 68, 30, 2),
                keyDown(Seat::Red, 32, 30, 1)});
    EXPECT_TRUE(copy.finalTick(40, both.digestAt(40), 2));
    copy.advanceTo(40);
    EXPECT_EQ(copy.scene(), both.match.scene());
    copy.advanceTo(1000);
    EXPECT_EQ(copy.presentTick(), 40 + PredictedMatch::kMostAhead);
}

// The server's pause and resume act at its final tick: a pause the copy's snapshot has already
// changes nothing, and a resume in the pause's own tick lets the match go on.
TEST(PredictedMatch, TakesPauseAndResumeAtTheFinalTick) {
    const Input pause{.kind = Input::Kind::Pause, .seat = Seat::Spectator, .tick = 20};
    const Input resume{.kind = Input::Kind::Resume, .seat = Seat::Spectator, .tick = 20};
    Judge judge({pause, resume});
    PredictedMatch copy;
    startAtZero(copy);
    copy.confirmed(pause, std::nullopt);
    playTo(judge.match, judge.inputs, 19);
    TickMatch paused;
    paused.restore(judge.match.snapshot());
    paused.step(std::span(&pause, 1));
    ASSERT_TRUE(copy.finalTick(20, paused.digest(), 0));
    copy.confirmed(pause, std::nullopt);
    EXPECT_TRUE(copy.finalTick(20, paused.digest(), 0));
    copy.confirmed(resume, std::nullopt);
    EXPECT_TRUE(copy.finalTick(20, judge.digestAt(20), 0));
    EXPECT_TRUE(copy.finalTick(30, judge.digestAt(30), 0));
}

// An own press for a tick the server has made final without it (it is still on its way) acts
// after the final tick, as the server will take it: a held key repeats from there.
TEST(PredictedMatch, MovesALatePressPastTheFinalTick) {
    PredictedMatch copy;
    startAtZero(copy);
    copy.advanceTo(30);
    copy.predicted(keyDown(Seat::Blue, 83, 10, 1));  // this host's clock behind the server's
    Judge judge({keyDown(Seat::Blue, 83, 17)});
    EXPECT_TRUE(copy.finalTick(16, judge.digestAt(16), 0));
    copy.advanceTo(50);  // the first repeat at tick 49, not 42
    playTo(judge.match, judge.inputs, 50);
    EXPECT_EQ(copy.scene(), judge.match.scene());
}

// A goal the prediction meets is no box: the screen stays on the ball in the goal until the
// server's box comes, and so it does once the goal's tick is final.
TEST(PredictedMatch, HoldsAPredictedGoalAtItsScene) {
    Judge alone(test::toTheGoal());
    while (!alone.match.ended() && alone.match.tick() < 2000) {
        alone.match.step();
    }
    ASSERT_TRUE(alone.match.ended());
    const std::uint32_t goal = alone.match.tick();
    const online::Scene inTheGoal = alone.match.boxes().at(0).scene;
    Judge judge(test::toTheGoal());
    PredictedMatch copy;
    ASSERT_TRUE(copy.start(0, online::encode(judge.match.snapshot())));
    ASSERT_TRUE(copy.finalTick(goal - 20, judge.digestAt(goal - 20), 0));
    for (const std::uint32_t present : {goal - 1, goal, goal + 8}) {
        copy.advanceTo(present);
        playTo(judge.match, judge.inputs, present);
        EXPECT_EQ(copy.scene(), present < goal ? judge.match.scene() : inTheGoal);
    }
    EXPECT_NE(judge.match.scene(), inTheGoal);  // the server's match has gone on past its boxes
    EXPECT_TRUE(copy.finalTick(goal + 8, judge.digestAt(goal + 8), 0));
    copy.advanceTo(goal + 30);
    EXPECT_EQ(copy.scene(), inTheGoal);
}

TEST(PredictedMatch, StartsOnlyFromASnapshotOfItsTick) {
    PredictedMatch copy;
    EXPECT_FALSE(copy.start(0, "match1 0 0"));
    EXPECT_FALSE(copy.started());
    TickMatch match;
    playTo(match, {}, 3);
    EXPECT_FALSE(copy.start(5, online::encode(match.snapshot())));
    ASSERT_TRUE(copy.start(3, online::encode(match.snapshot())));
    EXPECT_EQ(copy.finalTickNumber(), 3U);
    EXPECT_EQ(copy.presentTick(), 3U);
}

// The fastest answer of the last eight says the offset; before any, a message's arrival does,
// the quickest of them.
TEST(ServerClock, TakesTheOffsetOfTheFastestRecentPong) {
    ServerClock clock;
    EXPECT_FALSE(clock.known());
    EXPECT_EQ(clock.roundTripMs(), 0);
    clock.heard(5'000'000, 1000);
    clock.heard(5'000'000, 1030);  // slower on the way: says less
    EXPECT_TRUE(clock.known());
    EXPECT_EQ(clock.serverUs(1010), 5'010'000);

    clock.pong(2000, 7'000'000, 2100);  // 100 ms there and back
    clock.pong(2200, 7'210'000, 2220);  // 20 ms: the server's clock is 5 s ahead
    clock.pong(2300, 7'400'000, 2360);
    clock.heard(9'000'000, 2400);  // pongs say it better
    EXPECT_EQ(clock.roundTripMs(), 20);
    EXPECT_EQ(clock.serverUs(3000), 8'000'000);
    clock.pong(2400, 0, 2300);  // answered before it was asked: no answer of ours
    EXPECT_EQ(clock.serverUs(3000), 8'000'000);
    for (int i = 0; i < 8; ++i) {
        clock.pong(3000 + i * 100, 8'000'000 + i * 100'000 + 30'000, 3000 + i * 100 + 40);
    }
    EXPECT_EQ(clock.roundTripMs(), 40);
    EXPECT_EQ(clock.serverUs(3000), 8'010'000);
}

}  // namespace
}  // namespace voltaro::client
