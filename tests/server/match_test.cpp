#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>

#include "lobby_fixture.h"
#include "server/core/match_host.h"
#include "server/core/room_code.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace voltaro::server::test {
namespace {

using online::Seat;
namespace fs = std::filesystem;

class MatchTest : public LobbyTest {
  protected:
    // The scene at final tick `tick` as connection `id` followed the match, once it is final.
    online::Scene sceneAt(ConnectionId id, std::uint32_t tick) {
        EXPECT_TRUE(runUntilDone([&] { return follow(id).finalTick() >= tick; }, 10s));
        const auto& scenes = follow(id).scenes();
        const auto found = scenes.find(tick);
        if (found == scenes.end()) {
            ADD_FAILURE() << "tick " << tick << " was never a final tick";
            return {};
        }
        return found->second;
    }
    // Runs until the present tick is `tick`, when a stamp of it acts at it.
    void runToTick(const Players& p, std::uint32_t tick) {
        runUntil(p.start + tick * kPeriod);
        EXPECT_EQ(stamp(p.red), tick);
    }

    // Up to the first box. A single key press at the start sends the ball on a road that ends
    // in the right goal about five seconds later.
    std::vector<msg::BoxOpened> playToTheGoal(const Players& p) {
        tap(p.red, 32);
        std::vector<msg::BoxOpened> boxes;
        EXPECT_TRUE(runUntilDone(
            [&] {
                auto more = takeAll<msg::BoxOpened>(p.blue);
                boxes.insert(boxes.end(), more.begin(), more.end());
                return !boxes.empty();
            },
            60s));
        return boxes;
    }

    static constexpr Duration kPeriod = std::chrono::microseconds(online::TickMatch::kPeriodUs);
};

// Arrows and W/A/S/D alike move the player's own piece, never the other's.
TEST_F(MatchTest, EachPlayersKeysMoveTheirOwnPiece) {
    const Players p = startMatch();
    for (const std::int16_t key : {65, 87}) {  // A and W: left and up, for red too
        tap(p.red, key);
    }
    tap(p.blue, 37);  // the left arrow: blue's left
    runUntilFinal(p.red);
    const online::Scene scene = finalScene(p.red);
    EXPECT_EQ(scene.red, (online::Point{1720, 3160}));
    EXPECT_EQ(scene.blue, (online::Point{9640, 3360}));
}

// A stamp acts at its own tick while the window holds it; an older one acts at the oldest tick
// still open and one from the future at the present tick, so a lying clock gains at most the
// window. Every other member is sent each input taken; the sender only one whose place it could
// not know: at another tick than its stamp, or behind an input that came first for its tick.
TEST_F(MatchTest, PlacesEachStampWithinTheWindowAndNeverAtAFinalTick) {
    const Players p = startMatch();
    const ConnectionId watcher = connect();
    tell(watcher, say::Watch{p.code});
    const auto acted = [&](std::uint32_t stamp) {
        tell(p.red, say::KeyDown{39, stamp, nextSeq(p.red)});
        tell(p.red, say::KeyUp{39, stamp, nextSeq(p.red)});
        const auto seen = takeAll<msg::Input>(watcher);
        const auto back = takeAll<msg::Input>(p.red);
        if (seen.size() != 2) {
            ADD_FAILURE() << "not taken: " << seen.size();
            return std::uint32_t{0};
        }
        EXPECT_EQ(seen[0].input.seq, lastSeq(p.red) - 1);
        EXPECT_EQ(seen[0].input.kind, online::Input::Kind::KeyDown);
        EXPECT_EQ(seen[0].input.seat, Seat::Red);
        EXPECT_EQ(seen[0].input.key, 39);
        EXPECT_EQ(seen[1].input.tick, seen[0].input.tick);
        // The key-up comes back behind its own key-down; the key-down only from elsewhere.
        const bool moved = seen[0].input.tick != stamp;
        EXPECT_EQ(back.size(), moved ? 2U : 1U) << "stamp " << stamp;
        if (!back.empty()) {
            EXPECT_EQ(back.back().input, seen[1].input);
        }
        return seen[0].input.tick;
    };
    EXPECT_EQ(acted(0), 0U);  // before the first timer tick, as on the desktop
    runToTick(p, 40);
    EXPECT_EQ(follow(p.red).finalTick(), finalTickAt(40));
    EXPECT_EQ(acted(36), 36U);
    EXPECT_EQ(acted(32), 32U);  // the oldest open tick
    EXPECT_EQ(acted(31), 32U);
    EXPECT_EQ(acted(0), 32U);
    EXPECT_EQ(acted(40), 40U);
    EXPECT_EQ(acted(41), 40U);
    EXPECT_EQ(acted(4294967295U), 40U);
    runFor(1s);
    EXPECT_EQ(finalScene(watcher).red.left, 1920 + 8 * 200);
    EXPECT_TRUE(follow(watcher).agreed());
    EXPECT_TRUE(follow(p.red).agreed());
    EXPECT_EQ(follow(p.red).inputs(), follow(watcher).inputs());
}

// A held key repeats at the player's own delay and rate, within a keyboard's range, and stops
// when the window loses the keyboard; presses are limited like repeats.
TEST_F(MatchTest, RepeatsHeldKeysAtThePlayersRateWithinLimits) {
    const Players p = startMatch();
    runToTick(p, 32);
    repeatAt(p.red, 250, 62.5);  // 16 ticks, then every 4
    press(p.red, 39);
    runToTick(p, 32 + 26);
    loseFocus(p.red);
    EXPECT_EQ(sceneAt(p.red, 32 + 8).red.left, 1920 + 200);
    EXPECT_EQ(sceneAt(p.blue, 32 + 16).red.left, 1920 + 2 * 200);
    EXPECT_EQ(sceneAt(p.blue, 32 + 24).red.left, 1920 + 4 * 200);
    EXPECT_EQ(sceneAt(p.red, 32 + 48).red.left, 1920 + 4 * 200);

    // Asking for a repeat a millisecond after the press and every millisecond gets the fastest
    // real keyboard: after 250 ms, then 30 a second. 1 + 8 moves in half a second.
    repeatAt(p.blue, 0, 1);
    press(p.blue, 65);
    runFor(500ms);
    release(p.blue, 65);
    runFor(500ms);
    EXPECT_EQ(finalScene(p.red).blue.left, 9840 - 9 * 200);

    // Nor do taps come faster than fingers make them: a burst of ten, then twenty a second.
    const auto taps = [&](int times) {
        for (int i = 0; i < times; ++i) {
            tap(p.blue, 65);
        }
    };
    take(p.red);
    taps(100);
    EXPECT_EQ(takeAll<msg::Input>(p.red).size(), 2U * 10);
    for (int i = 0; i < 100; ++i) {  // a tap every 10 ms for a second
        runFor(10ms);
        taps(1);
    }
    runUntilFinal(p.red);
    const float moves = (9840 - 9 * 200 - finalScene(p.red).blue.left) / 200;
    EXPECT_GE(moves, 10 + 19);
    EXPECT_LE(moves, 10 + 21);
    // Every change of repeat settings goes to the other members: they come no faster than
    // presses, and one that changes nothing is no change. The sender is told of each it lost.
    runFor(1s);
    take(p.red);
    take(p.blue);
    for (int i = 0; i < 50; ++i) {
        repeatAt(p.red, 250 + i % 2, 40);
    }
    EXPECT_EQ(takeAll<msg::Input>(p.blue).size(), 10U);
    EXPECT_EQ(takeAll<msg::Refused>(p.red).size(), 40U);
    runUntilFinal(p.red);
    EXPECT_TRUE(follow(p.red).agreed());
}

// One direction is one held key: an arrow and its letter held together move a player as far in
// a second as the arrow alone, and the direction stays held while either is.
TEST_F(MatchTest, MovesADirectionOnceWhicheverOfItsKeysHoldIt) {
    const Players p = startMatch();
    for (const ConnectionId id : {p.red, p.blue}) {
        repeatAt(id, 250, 100);  // a press, then repeats at 250, 350 ... 950 ms
    }
    runToTick(p, 32);
    press(p.red, 39);  // the right arrow and D
    press(p.red, 68);
    press(p.blue, 37);  // the left arrow alone
    runToTick(p, 32 + 64);
    release(p.red, 39);
    runToTick(p, 32 + 96);
    release(p.red, 68);
    const online::Scene scene = sceneAt(p.red, 32 + 64);
    EXPECT_EQ(scene.red.left - 1920, 9 * 200);
    EXPECT_EQ(9840 - scene.blue.left, 9 * 200);
    EXPECT_EQ(sceneAt(p.red, 32 + 96).red.left - 1920, 14 * 200);  // D held it still
    EXPECT_EQ(sceneAt(p.red, 32 + 128).red.left - 1920, 14 * 200);
}

// A player holds at most what a keyboard's rollover allows: a press beyond it is turned away and
// counted, sent to nobody, and the next final tick says it was dealt with, so that the sender
// drops it from its own match; letting one key go makes room again.
TEST_F(MatchTest, TurnsAwayPressesBeyondTheKeysAKeyboardCanHold) {
    const Players p = startMatch();
    for (std::int16_t key = 48; key < 58; ++key) {  // the digits, which move nothing
        press(p.red, key);
    }
    take(p.blue);
    take(p.red);
    press(p.red, 39);
    const std::uint32_t refused = lastSeq(p.red);
    EXPECT_TRUE(takeAll<msg::Input>(p.blue).empty());
    const auto toRed = take(p.red);  // only that it was lost
    ASSERT_EQ(toRed.size(), 1U);
    EXPECT_EQ(std::get<msg::Refused>(toRed[0]).seq, refused);
    runFor(1s);
    EXPECT_EQ(finalScene(p.blue).red.left, 1920);
    EXPECT_EQ(refusals.total(Refusal::HeldKeys), 1U);
    const auto final = takeLast<msg::Final>(p.red);
    ASSERT_TRUE(final);
    EXPECT_EQ(final->red, refused);
    EXPECT_EQ(final->blue, 0U);

    release(p.red, 48);
    press(p.red, 39);
    EXPECT_EQ(takeAll<msg::Input>(p.blue).size(), 2U);
    runFor(300ms);
    EXPECT_EQ(finalScene(p.blue).red.left, 1920 + 200);
    EXPECT_EQ(takeLast<msg::Final>(p.blue)->red, lastSeq(p.red));
    EXPECT_FALSE(transport.closed.contains(p.red));
}

// Every member, spectators too, is sent the same inputs in the same order and a final tick every
// kFinalEveryTicks ticks; a match played on those inputs has the server's digest at every final
// tick.
TEST_F(MatchTest, FinalTicksCarryTheDigestOfTheMatchPlayedOnTheInputsSent) {
    const Players p = startMatch();
    const ConnectionId watcher = connect();
    tell(watcher, say::Watch{p.code});
    SeededRandom dice(7);
    const std::int16_t keys[] = {37, 38, 39, 40, 65, 68, 83, 87, 32};
    repeatAt(p.blue, 300, 40);
    for (int step = 0; step < 200; ++step) {
        std::uint64_t roll = 0;
        dice.fill(std::as_writable_bytes(std::span(&roll, 1)));
        const ConnectionId id = roll % 2 ? p.red : p.blue;
        const std::int16_t key = keys[(roll >> 8) % std::size(keys)];
        if ((roll >> 16) % 3) {
            press(id, key);
        } else {
            release(id, key);
        }
        runFor(std::chrono::milliseconds(1 + (roll >> 24) % 40));
    }
    runFor(1s);
    for (const ConnectionId id : {p.red, p.blue, watcher}) {
        EXPECT_TRUE(follow(id).agreed());
        EXPECT_GE(follow(id).finalTick(), 4 * 64U);
    }
    // None left out: the players have had every batch from the first on.
    EXPECT_EQ(follow(p.red).finals(), follow(p.red).finalTick() / online::kFinalEveryTicks);
    EXPECT_EQ(follow(p.red).inputs(), follow(watcher).inputs());
    EXPECT_EQ(follow(p.red).scenes(), follow(watcher).scenes());
    EXPECT_GE(follow(p.red).inputs().size(), 50U);

    // Wake-ups that come late (the server's core was busy) make no batch longer.
    for (int late = 0; late < 2; ++late) {
        now = std::max(now, lobby().nextWakeUp()) + 3 * kPeriod;
        lobby().advance(now);
    }
    runFor(1s);
    const auto finals = takeAll<msg::Final>(p.blue);
    ASSERT_GE(finals.size(), 9U);
    for (std::size_t i = 1; i < finals.size(); ++i) {
        EXPECT_EQ(finals[i].tick, finals[i - 1].tick + online::kFinalEveryTicks);
    }
    // One second of play: 64 ticks made final, in batches, and the window behind the present
    // tick still open.
    take(p.red);
    const std::uint32_t before = follow(p.red).finalTick();
    runFor(1s);
    EXPECT_EQ(takeAll<msg::Final>(p.red).size(), 64U / online::kFinalEveryTicks);
    EXPECT_EQ(follow(p.red).finalTick(), before + 64);
    EXPECT_LE(follow(p.red).finalTick(), stamp(p.red) - online::kWindowTicks - 1);
}

// Whoever comes in the middle, a spectator or a client that asks again, gets the final match and
// the inputs taken since, and from there has the players' scene at every final tick.
TEST_F(MatchTest, ALateComerAndAResyncFollowTheMatchToThePlayersScenes) {
    const Players p = startMatch();
    repeatAt(p.red, 250, 40);
    press(p.red, 40);
    runFor(700ms);
    press(p.blue, 38);  // open, not final yet, when the watcher comes
    runFor(5ms);
    const ConnectionId watcher = connect();
    tell(watcher, say::Watch{p.code});
    const auto caught = take(watcher);
    ASSERT_TRUE(lastOf<msg::MatchStarted>(caught));
    EXPECT_EQ(lastOf<msg::MatchStarted>(caught)->tick, follow(p.red).finalTick());
    EXPECT_TRUE(lastOf<msg::Input>(caught));
    release(p.red, 40);
    release(p.blue, 38);
    runFor(1s);
    const auto& seen = follow(watcher).scenes();
    ASSERT_GE(seen.size(), 8U);
    for (const auto& [tick, scene] : seen) {
        EXPECT_EQ(scene, follow(p.red).scenes().at(tick)) << "at tick " << tick;
    }
    EXPECT_TRUE(follow(watcher).agreed());

    press(p.red, 39);
    take(p.blue);
    tell(p.blue, say::Resync{});
    const auto again = take(p.blue);
    ASSERT_EQ(again.size(), 2U);  // the match, and the input that is not final yet
    EXPECT_EQ(std::get<msg::MatchStarted>(again[0]).tick, follow(p.red).finalTick());
    EXPECT_EQ(std::get<msg::Input>(again[1]).input.key, 39);
    runFor(500ms);
    EXPECT_TRUE(follow(p.blue).agreed());
    EXPECT_EQ(finalScene(p.blue), finalScene(p.red));
    // Asking on and on gets the match once a second, not once a message.
    take(p.blue);
    for (int i = 0; i < 20; ++i) {
        tell(p.blue, say::Resync{});
    }
    EXPECT_TRUE(takeAll<msg::MatchStarted>(p.blue).empty());
    runFor(500ms);
    tell(p.blue, say::Resync{});
    EXPECT_EQ(takeAll<msg::MatchStarted>(p.blue).size(), 1U);
    EXPECT_TRUE(transport.closed.empty());
}

// The goal's boxes come only once the goal's tick is final, each over the scene as it stood
// when it opened; each waits for both players' OK or for the time limit; then the final scene,
// and both may play again.
TEST_F(MatchTest, ShowsEachBoxOnceItsTickIsFinalUntilBothPressOkOrTheWaitEnds) {
    const Players p = startMatch();
    const ConnectionId watcher = connect();
    tell(watcher, say::Watch{p.code});
    tap(p.red, 32);
    // What the watcher was sent, message by message: play goes on until a final tick has the
    // goal, and only then the box opens.
    MatchFollower watched;
    std::optional<msg::BoxOpened> first;
    std::optional<msg::Final> finalBeforeBox;  // the message just before the box, if a final
    ASSERT_TRUE(runUntilDone(
        [&] {
            for (const auto& message : take(watcher)) {
                if (first) {
                    break;
                }
                if (const auto* box = std::get_if<msg::BoxOpened>(&message)) {
                    first = *box;
                    continue;
                }
                EXPECT_FALSE(watched.match().ended());
                watched.read(message);
                const auto* final = std::get_if<msg::Final>(&message);
                finalBeforeBox = final ? std::optional(*final) : std::nullopt;
            }
            return first.has_value();
        },
        60s));
    const auto& ended = watched.match();
    ASSERT_TRUE(ended.ended());
    ASSERT_FALSE(ended.boxes().empty());
    // As soon as the window has passed the goal's tick and the final match has been played on
    // to it (a step), not at the next of the final ticks the members hear of in batches: the
    // goal's own final tick, then its box.
    EXPECT_LE(stamp(p.red), ended.tick() + online::kWindowTicks + 1 + MatchHost::kStepEveryTicks);
    ASSERT_TRUE(finalBeforeBox);
    EXPECT_EQ(finalBeforeBox->tick, ended.tick());
    EXPECT_NE(ended.tick() % online::kFinalEveryTicks, 0U);  // so not one of the batches
    EXPECT_EQ(first->text, "Goal!");
    EXPECT_EQ(first->text, ended.boxes()[0].text);
    EXPECT_EQ(first->scene, ended.boxes()[0].scene);
    EXPECT_EQ(first->scene.redScore, "0");  // nothing changed yet
    EXPECT_GE(first->scene.ball.left + 735, 12600);
    EXPECT_EQ(lobby().openMatches(), 0U);  // the procedure has run to its end
    take(p.red);

    runFor(10s);
    EXPECT_TRUE(take(p.red).empty());  // the box stays open, and no tick is made final
    tell(p.red, say::BoxOk{first->box});
    EXPECT_TRUE(take(p.red).empty());  // one OK is not enough
    tell(p.blue, say::BoxOk{first->box});
    const auto second = takeLast<msg::BoxOpened>(watcher);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->text, "GAME OVER! Red is the Winner");
    EXPECT_EQ(second->scene.redScore, "1");
    EXPECT_EQ(second->scene.red, (online::Point{1920, 3360}));
    EXPECT_EQ(second->scene.ball.left, 6000);

    tell(p.blue, say::BoxOk{first->box});  // a late OK for the closed box changes nothing
    runFor(limits.boxWait - 1ms);
    EXPECT_FALSE(takeLast<msg::GameOver>(p.red));
    runFor(1ms);
    const auto over = takeLast<msg::GameOver>(watcher);
    ASSERT_TRUE(over);
    EXPECT_EQ(over->scene, second->scene);

    tell(p.red, say::PlayAgain{});
    EXPECT_EQ(takeLast<msg::PlayAgainWanted>(p.blue)->seat, Seat::Red);
    EXPECT_FALSE(takeLast<msg::MatchStarted>(p.red));
    tell(p.blue, say::PlayAgain{});
    const auto again = takeLast<msg::MatchStarted>(watcher);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->match, 2U);
    EXPECT_EQ(again->tick, 0U);
    EXPECT_EQ(follow(watcher).match().scene(), online::Scene{});
    EXPECT_EQ(lobby().openMatches(), 1U);
    EXPECT_TRUE(transport.closed.empty());
}

// A player whose connection drops pauses the match at the present tick, every tick up to it
// final; with the seat's token they come back within the wait and it goes on after the tick they
// came back at, the ticks between dropped; after the wait the room closes for everyone.
TEST_F(MatchTest, WaitsForAPlayerWhoLeftAndEndsWhenTheyDoNotReturn) {
    const Players p = startMatch();
    const ConnectionId watcher = connect();
    tell(watcher, say::Watch{p.code});
    press(p.blue, 83);  // held down as the connection drops
    runFor(100ms);
    take(p.red);
    const std::uint32_t left = stamp(p.red);
    lobby().disconnected(p.blue, now);
    const auto toRed = take(p.red);
    ASSERT_EQ(toRed.size(), 2U);
    EXPECT_EQ(std::get<msg::Paused>(toRed[0]).reason, "Blue left the match");
    EXPECT_EQ(std::get<msg::Paused>(toRed[0]).tick, left);
    EXPECT_EQ(std::get<msg::Final>(toRed[1]).tick, left);
    EXPECT_EQ(takeLast<msg::Paused>(watcher)->reason, "Blue left the match");
    const online::Scene paused = finalScene(p.red);
    EXPECT_EQ(paused.blue.top, 3360 + 200);
    EXPECT_TRUE(follow(p.red).match().paused());
    press(p.red, 39);  // while paused: turned away, and told so
    const auto refused = takeAll<msg::Refused>(p.red);
    ASSERT_EQ(refused.size(), 1U);
    EXPECT_EQ(refused[0].seq, lastSeq(p.red));
    runFor(20s);
    EXPECT_TRUE(take(p.red).empty());

    const ConnectionId thief = connect();
    tell(thief, say::Rejoin{p.code, std::string(32, '0')});
    EXPECT_EQ(transport.closed[thief].code, online::close_code::kOutOfPlace);

    const ConnectionId back = connect();
    const std::uint32_t returned = stamp(p.red);
    tell(back, say::Rejoin{p.code, p.blueToken});
    const auto toBack = take(back);
    EXPECT_EQ(lastOf<msg::Seated>(toBack)->seat, Seat::Blue);
    EXPECT_EQ(lastOf<msg::MatchStarted>(toBack)->tick, returned);
    EXPECT_FALSE(lastOf<msg::Paused>(toBack));
    const auto toRedAgain = take(p.red);
    ASSERT_EQ(toRedAgain.size(), 2U);
    EXPECT_EQ(std::get<msg::Resumed>(toRedAgain[0]).reason, "Blue is back");
    EXPECT_EQ(std::get<msg::Resumed>(toRedAgain[0]).tick, returned);
    EXPECT_EQ(std::get<msg::Final>(toRedAgain[1]).tick, returned);
    EXPECT_EQ(finalScene(p.red), paused);  // nothing ran in between
    EXPECT_EQ(finalScene(back), paused);
    runFor(1s);
    const online::Scene resumed = finalScene(p.red);
    EXPECT_NE(resumed.ball, paused.ball);
    EXPECT_EQ(resumed.red, paused.red);    // the press while paused never happened
    EXPECT_EQ(resumed.blue, paused.blue);  // the held key was let go when the connection dropped
    for (const ConnectionId id : {p.red, back, watcher}) {
        EXPECT_TRUE(follow(id).agreed());
    }
    EXPECT_EQ(finalScene(back), resumed);

    // Gone and back within one tick: the pause and then the resume each take a tick after the
    // final one, a tick that no copy has made final yet.
    take(p.red);
    const std::uint32_t tick = stamp(p.red);
    lobby().disconnected(back, now);
    const ConnectionId quick = connect();
    tell(quick, say::Rejoin{p.code, p.blueToken});
    lobby().disconnected(quick, now);
    const ConnectionId twice = connect();
    tell(twice, say::Rejoin{p.code, p.blueToken});
    std::vector<std::uint32_t> ticks;  // of each pause, resume and final
    for (const auto& message : take(p.red)) {
        std::visit(
            [&](const auto& m) {
                if constexpr (requires { m.tick; }) {
                    ticks.push_back(m.tick);
                }
            },
            message);
    }
    EXPECT_EQ(ticks, (std::vector<std::uint32_t>{tick, tick, tick + 1, tick + 1, tick + 2, tick + 2,
                                                 tick + 3, tick + 3}));
    runFor(500ms);
    for (const ConnectionId id : {p.red, twice, watcher}) {
        EXPECT_TRUE(follow(id).agreed());
    }

    // The token on a new connection while the old one lingers: the old one is closed.
    const ConnectionId again = connect();
    tell(again, say::Rejoin{p.code, p.blueToken});
    EXPECT_EQ(transport.closed[twice].code, online::close_code::kSeatTakenOver);
    EXPECT_FALSE(takeLast<msg::Paused>(p.red));

    lobby().disconnected(again, now);
    runFor(limits.reconnectWait - 1ms);
    EXPECT_EQ(lobby().openRooms(), 1U);
    runFor(1ms);
    EXPECT_EQ(lobby().openRooms(), 0U);
    const auto closed = takeLast<msg::RoomClosed>(watcher);
    ASSERT_TRUE(closed);
    EXPECT_NE(closed->reason.find("Blue did not come back"), std::string::npos);
    EXPECT_TRUE(takeLast<msg::RoomClosed>(p.red));
    // Back in the lobby, the others have its wait to find another room; then nothing is due.
    runFor(limits.lobbyWait);
    EXPECT_EQ(transport.closed[watcher].code, online::close_code::kIdle);
    EXPECT_EQ(lobby().nextWakeUp(), Duration::max());
}

// A player who drops while the goal's tick is still open: the pause makes it final at once, and
// the box comes from it as from any final tick.
TEST_F(MatchTest, APauseThatMakesTheGoalFinalShowsItsBox) {
    const Players first = startMatch();
    ASSERT_FALSE(playToTheGoal(first).empty());
    const std::uint32_t goal = follow(first.red).finalTick();  // the tick the match ended at

    const Players p = startMatch();
    tap(p.red, 32);  // the same road to the same goal
    runToTick(p, goal + 4);
    ASSERT_FALSE(follow(p.red).match().ended());
    take(p.red);
    lobby().disconnected(p.blue, now);
    const auto sent = take(p.red);
    ASSERT_EQ(sent.size(), 3U);
    EXPECT_EQ(std::get<msg::Paused>(sent[0]).tick, goal);
    EXPECT_EQ(std::get<msg::Final>(sent[1]).tick, goal);
    EXPECT_EQ(std::get<msg::BoxOpened>(sent[2]).text, "Goal!");
    EXPECT_TRUE(follow(p.red).agreed());
    EXPECT_TRUE(follow(p.red).match().ended());
}

class RecordTest : public MatchTest {
  protected:
    void SetUp() override {
        // A folder of its own, made by the system: the tests run side by side in many
        // processes, and one's clean-up must never take another's records away.
        std::string name = (fs::temp_directory_path() / "voltaro-records-XXXXXX").string();
        ASSERT_NE(::mkdtemp(name.data()), nullptr);
        folder = name;
        useWriter({});
    }
    void TearDown() override {
        records->waitUntilIdle();
        fs::remove_all(folder);
    }

    void useWriter(RecordLimits bounds, std::function<void()> beforeEachJob = {}) {
        records.reset();
        records = std::make_unique<RecordWriter>(folder, bounds, std::move(beforeEachJob));
    }

    // What is in the folder once the writer has written everything it was given.
    std::vector<fs::path> files() const {
        records->waitUntilIdle();
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(folder)) {
            found.push_back(entry.path());
        }
        return found;
    }

    fs::path folder;
};

// The last line voltaro-replay writes for a script.
nlohmann::json replayedEnd(const fs::path& script) {
    const std::string command = std::string(VOLTARO_REPLAY) + " < '" + script.string() + "'";
    FILE* out = ::popen(command.c_str(), "r");
    EXPECT_NE(out, nullptr);
    std::string last, line;
    char buffer[4096];
    while (out && std::fgets(buffer, sizeof buffer, out)) {
        line += buffer;
        if (!line.empty() && line.back() == '\n') {
            last = std::exchange(line, {});
        }
    }
    EXPECT_EQ(out ? ::pclose(out) : -1, 0);
    return nlohmann::json::parse(last);
}

// Every finished match is on disk, whole, as a script that voltaro-replay plays to exactly the
// final scene the players saw; held keys and their repeats included. Its file is named by the
// replay id that both players and the spectators get after the end, late comers too. An
// unfinished match leaves nothing, and offers no replay.
TEST_F(RecordTest, RecordsEachFinishedMatchAsAScriptThatReplaysToItsEnd) {
    const Players p = startMatch();
    const ConnectionId early = connect();
    tell(early, say::Watch{p.code});
    repeatAt(p.blue, 250, 40);
    press(p.blue, 87);
    runFor(700ms);
    release(p.blue, 87);
    runFor(200ms);
    const auto boxes = playToTheGoal(p);
    ASSERT_FALSE(boxes.empty());
    records->waitUntilIdle();  // the record in its place by the end
    for (const std::uint32_t box : {boxes[0].box, boxes[0].box + 1}) {
        tell(p.red, say::BoxOk{box});
        tell(p.blue, say::BoxOk{box});
    }
    const auto end = take(p.red);
    const auto over = lastOf<msg::GameOver>(end);
    ASSERT_TRUE(over);
    ASSERT_TRUE(std::holds_alternative<msg::Replay>(end.back()));  // after the end

    const auto written = files();
    ASSERT_EQ(written.size(), 1U);
    EXPECT_EQ(written[0].extension(), ".replay");
    const std::string id = written[0].stem().string();
    EXPECT_TRUE(isReplayId(id, ""));
    EXPECT_EQ(std::get<msg::Replay>(end.back()).id, id);
    const ConnectionId late = connect();
    tell(late, say::Watch{p.code});
    for (const ConnectionId member : {p.blue, early, late}) {
        const auto replays = takeAll<msg::Replay>(member);
        ASSERT_EQ(replays.size(), 1U) << member;
        EXPECT_EQ(replays[0].id, id);
    }
    std::ifstream script(written[0]);
    std::string text((std::istreambuf_iterator<char>(script)), {});
    EXPECT_NE(text.find("\n# tick 1\ngoal\nball\n"), std::string::npos);  // in list order
    std::size_t repeats = 0;
    for (auto at = text.find("\nkey 87\n"); at != std::string::npos;
         at = text.find("\nkey 87\n", at + 1)) {
        ++repeats;
    }
    EXPECT_GE(repeats, 10U);  // W held for 0.7 s

    const nlohmann::json replayed = replayedEnd(written[0]);
    EXPECT_EQ(replayed["ended"], true);
    EXPECT_EQ(replayed["messages"],
              nlohmann::json::array({"Goal!", "GAME OVER! Red is the Winner"}));
    const online::Scene& seen = over->scene;
    EXPECT_EQ(replayed["ball"], nlohmann::json::array({seen.ball.left, seen.ball.top}));
    EXPECT_EQ(replayed["red"], nlohmann::json::array({seen.red.left, seen.red.top}));
    EXPECT_EQ(replayed["blue"], nlohmann::json::array({seen.blue.left, seen.blue.top}));
    EXPECT_EQ(replayed["redScore"], seen.redScore);
    EXPECT_EQ(replayed["blueScore"], seen.blueScore);

    // The second match is abandoned half-way: it adds nothing, not even a temporary file.
    tell(p.red, say::PlayAgain{});
    tell(p.blue, say::PlayAgain{});
    runFor(60s);  // with no key pressed the ball drifts off and the record grows on disk
    EXPECT_EQ(files().size(), 2U);
    tell(p.red, say::Leave{});
    EXPECT_EQ(files(), written);
    EXPECT_TRUE(takeAll<msg::Replay>(p.blue).empty());
}

// Shutting down tells every client, closes every connection, and leaves only whole records.
TEST_F(RecordTest, ShutdownTellsEveryoneAndLeavesOnlyWholeRecords) {
    const Players finished = startMatch();
    const auto boxes = playToTheGoal(finished);
    ASSERT_FALSE(boxes.empty());
    const Players playing = startMatch();
    const ConnectionId idle = connect();
    runFor(30s);
    lobby().shutdown(now);
    for (const ConnectionId id : {finished.red, finished.blue, playing.red, playing.blue}) {
        EXPECT_EQ(takeLast<msg::RoomClosed>(id)->reason, "The server is shutting down");
    }
    for (const ConnectionId id : {finished.red, playing.blue, idle}) {
        EXPECT_EQ(transport.closed[id].code, online::close_code::kGoingAway);
    }
    EXPECT_EQ(lobby().openRooms(), 0U);
    const auto left = files();
    ASSERT_EQ(left.size(), 1U);
    EXPECT_TRUE(isReplayId(left[0].stem().string(), ""));
}

void writeFile(const fs::path& path, std::size_t bytes, std::chrono::hours age) {
    std::ofstream(path) << std::string(bytes, '#');
    fs::last_write_time(path, fs::file_time_type::clock::now() - age);
}

// The folder stays within its bound, counting what was there at the start: the oldest records
// go first, a temporary file left by a stopped server goes, and files that are not records stay.
TEST_F(RecordTest, KeepsTheFolderWithinItsBoundOldestFirst) {
    records->waitUntilIdle();  // done with the folder as it found it: an empty one
    writeFile(folder / "old.replay", 1000, 3h);
    writeFile(folder / "older.replay", 1000, 4h);
    writeFile(folder / "new.replay", 1000, 1h);
    writeFile(folder / ".cut.replay.part", 500, 2h);
    writeFile(folder / "notes.txt", 5000, 5h);
    useWriter({.maxFolderBytes = 2500});
    const auto names = [&] {
        std::set<std::string> found;
        for (const fs::path& file : files()) {
            found.insert(file.filename().string());
        }
        return found;
    };
    EXPECT_EQ(names(), (std::set<std::string>{"new.replay", "old.replay", "notes.txt"}));

    ASSERT_TRUE(records->append("next.replay", std::string(600, '#')));
    ASSERT_TRUE(records->finish("next.replay", std::string(600, '#')));
    EXPECT_EQ(names(), (std::set<std::string>{"new.replay", "next.replay", "notes.txt"}));
    EXPECT_EQ(fs::file_size(folder / "next.replay"), 1200U);
    EXPECT_EQ(records->counts().pruned, 2U);
    EXPECT_EQ(records->counts().written, 1U);
}

// A match that outgrows a record's bound is not recorded at all, rather than cut short: a cut
// script would replay to another end. It ends as any other, and offers no replay, whose link
// would lead nowhere.
TEST_F(RecordTest, LeavesNothingOfAMatchLongerThanARecordMayBe) {
    useWriter({.maxRecordBytes = 1024});
    const Players p = startMatch();
    const auto boxes = playToTheGoal(p);
    ASSERT_FALSE(boxes.empty());
    for (const std::uint32_t box : {boxes[0].box, boxes[0].box + 1}) {
        tell(p.red, say::BoxOk{box});
        tell(p.blue, say::BoxOk{box});
    }
    ASSERT_TRUE(takeLast<msg::GameOver>(p.red));
    EXPECT_TRUE(takeAll<msg::Replay>(p.red).empty());
    EXPECT_TRUE(takeAll<msg::Replay>(p.blue).empty());
    EXPECT_TRUE(files().empty());
    EXPECT_EQ(records->counts().cutOff, 1U);
}

// A writer stuck on a slow disk never holds up the matches: the lobby's calls return while it
// is stuck, the records it has no room for are dropped, and once it moves again the folder has
// the whole records and nothing half-written.
TEST_F(RecordTest, AStalledWriterNeverHoldsUpTheMatches) {
    std::mutex mutex;
    std::condition_variable changed;
    bool stalled = true, reached = false;
    useWriter({.maxQueuedBytes = 16384}, [&] {
        std::unique_lock lock(mutex);
        reached = true;
        changed.notify_all();
        changed.wait(lock, [&] { return !stalled; });
    });
    const auto release = [&] {
        std::lock_guard lock(mutex);
        stalled = false;
        changed.notify_all();
    };
    Players finished;
    std::string finishedId;
    auto play = std::async(std::launch::async, [&] {
        finished = startMatch();
        const auto boxes = playToTheGoal(finished);
        ASSERT_FALSE(boxes.empty());
        for (const std::uint32_t box : {boxes[0].box, boxes[0].box + 1}) {
            tell(finished.red, say::BoxOk{box});
            tell(finished.blue, say::BoxOk{box});
        }
        // The end comes at once; its link only once the record is in its place.
        bool over = false;
        for (const auto& message : take(finished.red)) {
            over = over || std::holds_alternative<msg::GameOver>(message);
            EXPECT_FALSE(std::holds_alternative<msg::Replay>(message)) << "a link to no record";
        }
        ASSERT_TRUE(over);
        std::vector<Players> lasting;
        for (int i = 0; i < 4; ++i) {
            lasting.push_back(startMatch());
        }
        runFor(60s);  // the drifting balls fill more script than the writer takes
        for (const Players& p : lasting) {
            tell(p.red, say::Leave{});
        }
    });
    const bool prompt = play.wait_for(60s) == std::future_status::ready;
    {
        // The matches may all be played before the writer's thread has taken its first job.
        std::unique_lock lock(mutex);
        EXPECT_TRUE(changed.wait_for(lock, 10s, [&] { return reached; }));
    }
    release();
    play.get();
    EXPECT_TRUE(prompt) << "the lobby waited for a stalled writer";
    EXPECT_GE(records->counts().dropped, 1U);
    records->waitUntilIdle();
    runFor(100ms);
    if (const auto replay = takeLast<msg::Replay>(finished.red)) {
        finishedId = replay->id;
    }

    const auto left = files();
    ASSERT_EQ(left.size(), 1U);
    EXPECT_EQ(left[0].filename(), finishedId + ".replay");  // the finished match's, by its id
    EXPECT_EQ(replayedEnd(left[0])["ended"], true);
}

// What one match costs the server: its room, Form1 with its controls, schedules and record
// buffer, measured on the heap, against a budget of 64 KB. Ten seconds of play fill the record's
// buffer at least once.
TEST_F(RecordTest, KeepsEachMatchWithinItsMemoryBudget) {
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
    constexpr int kMatches = 200;
    std::vector<Players> all;
    all.reserve(kMatches);
    startMatch();  // the lobby's own tables and first allocations
    const std::size_t before = mallinfo2().uordblks;
    for (int i = 0; i < kMatches; ++i) {
        all.push_back(startMatch());
        press(all.back().red, 38);
    }
    const std::clock_t started = std::clock();
    runFor(10s);
    const double cpu = double(std::clock() - started) / CLOCKS_PER_SEC;
    records->waitUntilIdle();  // chunks waiting for the writer are not the match's
    std::printf("processor time per second of one match: %.0f us\n", cpu / kMatches / 10 * 1e6);
    forgetSent();  // what the fake transport keeps is not the server's
    const std::size_t perMatch = (mallinfo2().uordblks - before) / kMatches;
    RecordProperty("bytes_per_match", static_cast<int>(perMatch));
    std::printf("heap per open match: %zu bytes\n", perMatch);
    EXPECT_LT(perMatch, 64U * 1024);
#else
    GTEST_SKIP() << "needs glibc's malloc statistics";
#endif
}

}  // namespace
}  // namespace voltaro::server::test
