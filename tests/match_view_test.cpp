// One player's view of an online match, fed the server's messages as the protocol module writes
// them: what it sends, what it shows, and when it tries the connection again.
#include "client/match_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "client/screen_log.h"
#include "online/snapshot.h"
#include "online/tick_match.h"
#include "online_inputs.h"

namespace voltaro::client {
namespace {

namespace msg = online::server;
using online::Input;
using online::Seat;
using Phase = MatchView::Phase;
using Kind = Input::Kind;

constexpr std::int16_t kW = 87;
constexpr std::int16_t kUp = 38;
constexpr std::int16_t kLeft = 37;

Input input(Kind kind, Seat seat, std::uint32_t tick, std::uint32_t seq = 0, std::int16_t key = 0) {
    Input in;
    in.kind = kind;
    in.seat = seat;
    in.tick = tick;
    in.seq = seq;
    in.key = key;
    return in;
}

// The match as the server plays it: the inputs by tick, in their order, played straight through
// (from the start again for an earlier tick).
struct Straight {
    std::vector<Input> inputs;
    std::unique_ptr<online::TickMatch> match;

    void add(const Input& in) {
        inputs.insert(
            std::upper_bound(inputs.begin(), inputs.end(), in,
                             [](const Input& a, const Input& b) { return a.tick < b.tick; }),
            in);
        match.reset();
    }
    online::TickMatch& to(std::uint32_t tick) {
        if (!match || match->tick() > tick) {
            match = std::make_unique<online::TickMatch>();
            match->apply(test::inputsAt(inputs, 0));
        }
        test::playTo(*match, inputs, tick);
        return *match;
    }
};

// Blue's repeat settings as the view sends them once the match is in play (400 ms, 50 ms),
// stamped 0: like the server, the view plays them at the first tick still open, the first.
const Input kBluesRepeat{Kind::KeyRepeat, Seat::Blue, 1, 1, 0, 400000, 50000};

std::string kickOff() {
    return online::encode(online::TickMatch().snapshot());
}

// A view and the server's side of its connection: messages delivered at `now`, and those the
// view sent read back.
struct Talking {
    MatchView match;
    double now = 500;

    void deliver(const online::ServerMessage& message) {
        match.received(online::write(message), now);
    }
    std::vector<online::ClientMessage> sent() {
        std::vector<online::ClientMessage> messages;
        for (const std::string& frame : match.takeOutgoing()) {
            std::string problem;
            messages.push_back(*online::readClientMessage(frame, problem));
        }
        return messages;
    }
    template <typename Message>
    std::vector<Message> sentOf() {
        std::vector<Message> found;
        for (const auto& m : sent()) {
            if (const auto* one = std::get_if<Message>(&m)) {
                found.push_back(*one);
            }
        }
        return found;
    }
};

// A client that joined room ABCD as blue and has seen the match start. The server's clock reads
// the host's plus kAhead, its pongs come back at once, and the match's tick 0 is at 1 s on the
// host's clock.
struct Seated : Talking {
    static constexpr std::int64_t kAheadUs = 5'000'000;
    static constexpr std::int64_t kStartUs = kAheadUs + 1'000'000;

    explicit Seated(MatchView view = MatchView(), bool started = true) : Talking{std::move(view)} {
        match.setKeyRepeat(400, 50);
        match.join("ABCD");
        match.opened();
        deliver(msg::Welcome{});
        deliver(msg::Seated{"ABCD", Seat::Blue, "token-1"});
        for (int i = 0; i < MatchView::kClockPingsWhenSeated; ++i) {
            deliver(msg::Pong{serverUs()});
        }
        if (started) {
            at(0);
            deliver(msg::MatchStarted{1, kStartUs, 0, kickOff()});
        }
    }

    std::int64_t serverUs() const { return std::llround(now * 1000) + kAheadUs; }
    // A millisecond into that tick, on both clocks.
    void at(std::uint32_t tick) { now = 1000 + tick * 15.625 + 1; }
    void frameAt(std::uint32_t tick) {
        at(tick);
        match.frame(now);
    }

    void echo(const Input& in) { deliver(msg::Input{in}); }
};

TEST(MatchView, GreetsAsksForTheSeatSetsItsClockAndReportsTheKeyRepeatOnceInPlay) {
    Seated s;
    const auto sent = s.sent();
    ASSERT_EQ(sent.size(), 6u);
    EXPECT_TRUE(std::holds_alternative<online::client::Hello>(sent[0]));
    EXPECT_EQ(std::get<online::client::Join>(sent[1]).code, "ABCD");
    for (int i = 2; i < 5; ++i) {
        EXPECT_TRUE(std::holds_alternative<online::client::Ping>(sent[i]));
    }
    const auto& repeat = std::get<online::client::KeyRepeat>(sent[5]);
    EXPECT_EQ(repeat.delayMs, 400);
    EXPECT_EQ(repeat.seq, 1u);
    EXPECT_EQ(s.match.phase(), Phase::Playing);
    EXPECT_EQ(s.match.matchLine(), "you play Blue against Red, room ABCD");
}

// The player's own key moves their piece before the server has heard of it: stamped with the
// present tick, played there at once, sent once per press; its echo does not move it again.
TEST(MatchView, ShowsTheOwnPressAtOnceAndSendsEachHeldKeyOnce) {
    Seated s;
    s.sent();
    Straight straight;
    straight.add(kBluesRepeat);
    s.frameAt(10);
    s.match.keyDown(1, kW, s.now);
    const Input press = input(Kind::KeyDown, Seat::Blue, 10, 2, kW);
    straight.add(press);
    EXPECT_EQ(s.match.scene(), straight.to(10).scene());
    EXPECT_EQ(s.match.scene().blue.top, online::Scene{}.blue.top - 200);
    EXPECT_TRUE(s.match.takeChanged());
    s.match.keyDown(1, kW, s.now);  // the desktop's own repeat: the match repeats instead
    s.echo(press);
    s.frameAt(12);
    EXPECT_EQ(s.match.scene(), straight.to(12).scene());
    s.match.keyDown(2, kLeft, s.now);
    s.match.keyUp(1, s.now);
    s.match.keyUp(1, s.now);
    s.match.focusLost(s.now);  // key 2 still held
    s.match.focusLost(s.now);  // nothing held any more
    const auto sent = s.sent();
    ASSERT_EQ(sent.size(), 4u);
    const auto& down = std::get<online::client::KeyDown>(sent[0]);
    EXPECT_EQ(down.code, kW);
    EXPECT_EQ(down.tick, 10u);
    EXPECT_EQ(down.seq, 2u);
    EXPECT_EQ(std::get<online::client::KeyDown>(sent[1]).code, kLeft);
    const auto& up = std::get<online::client::KeyUp>(sent[2]);
    EXPECT_EQ(up.code, kW);
    EXPECT_EQ(up.tick, 12u);
    EXPECT_EQ(up.seq, 4u);
    EXPECT_EQ(std::get<online::client::FocusLost>(sent[3]).seq, 5u);
    EXPECT_EQ(s.match.ownPresses(), 2u);
}

// The friend's press comes a round trip late, stamped earlier than what the screen shows: the
// match is played again from the final tick, and shows what the inputs in their order give.
TEST(MatchView, TheFriendsLateInputRollsBackToTheInputsInOrder) {
    Seated s;
    Straight straight;
    straight.add(kBluesRepeat);
    s.frameAt(10);
    s.match.keyDown(1, kW, s.now);
    straight.add(input(Kind::KeyDown, Seat::Blue, 10, 2, kW));
    s.frameAt(30);
    const online::Scene before = s.match.scene();
    // Red pressed up at tick 5; the server took blue's repeat settings and press where sent.
    const Input red = input(Kind::KeyDown, Seat::Red, 5, 1, kUp);
    s.echo(kBluesRepeat);
    s.echo(red);
    straight.add(red);
    s.frameAt(30);
    EXPECT_EQ(s.match.scene(), straight.to(30).scene());
    EXPECT_NE(s.match.scene().red, before.red);
    EXPECT_EQ(s.match.scene().blue, before.blue);
    // The server's final ticks agree: nothing asked again, and the log has the final scene.
    s.echo(input(Kind::KeyDown, Seat::Blue, 10, 2, kW));
    s.deliver(msg::Final{20, straight.to(20).digest(), 1, 2});
    EXPECT_TRUE(s.sentOf<online::client::Resync>().empty());
    EXPECT_EQ(s.match.finalTick(), 20u);
    EXPECT_EQ(s.match.finalScene(), straight.to(20).scene());
}

// A match that disagrees with the server's must never go on: the client says so, asks for the
// server's, ignores what comes for the wrong one, and plays on from the one it is sent.
TEST(MatchView, ADigestMismatchAsksForTheMatchAndTakesTheNextStart) {
    Seated s;
    ScreenLog log;
    log.linesFor(s.match);
    s.frameAt(20);
    s.sent();
    s.deliver(msg::Final{8, 12345, 0, 0});
    EXPECT_EQ(s.sentOf<online::client::Resync>().size(), 1u);
    EXPECT_EQ(log.linesFor(s.match).front(), "digest mismatch at tick 8");
    s.echo(input(Kind::KeyDown, Seat::Red, 9, 1, kUp));  // sent before the server heard
    s.deliver(msg::Final{16, 999, 0, 0});
    EXPECT_TRUE(s.sentOf<online::client::Resync>().empty());  // asked once
    // Pressed meanwhile, and taken where it was stamped after the server sent the match again:
    // it never comes back, and is still this player's own.
    s.at(14);
    s.match.keyDown(1, kW, s.now);

    Straight straight;
    straight.add(input(Kind::KeyDown, Seat::Red, 3, 1, kUp));
    const Input later = input(Kind::KeyDown, Seat::Red, 12, 2, kUp);
    straight.add(later);
    straight.add(input(Kind::KeyDown, Seat::Blue, 14, 2, kW));
    s.deliver(msg::MatchStarted{1, Seated::kStartUs, 8, online::encode(straight.to(8).snapshot())});
    s.echo(later);
    s.frameAt(20);
    EXPECT_EQ(s.match.phase(), Phase::Playing);
    EXPECT_EQ(s.match.scene(), straight.to(20).scene());
    EXPECT_EQ(s.match.finalTick(), 8u);
    EXPECT_TRUE(s.sentOf<online::client::KeyRepeat>().empty());  // the match has them already
    s.deliver(msg::Final{16, straight.to(16).digest(), 2, 2});
    EXPECT_EQ(s.match.mismatches(), 1u);
    EXPECT_EQ(s.match.finalTick(), 16u);
}

// The clock: a few pings as the seat is taken, then one a second during the match until the
// clock has all its samples, then one every two seconds; each answer matched to its ping.
// Before any answer, the match's start stands in for the clock.
TEST(MatchView, PingsOnceASecondInPlayUntilTheClockIsSettledAndStampsByTheServersClock) {
    Seated s;
    s.sent();
    const auto pingsWithin = [&s](int halfSeconds) {
        int pings = 0;
        for (int i = 0; i < halfSeconds; ++i) {
            s.match.checkConnection(s.now += 500);
            for (const auto& m : s.sent()) {
                pings += std::holds_alternative<online::client::Ping>(m) ? 1 : 0;
            }
            s.deliver(msg::Pong{s.serverUs()});
        }
        return pings;
    };
    const int unsettled =
        static_cast<int>(ServerClock::kSamplesKept) - MatchView::kClockPingsWhenSeated;
    EXPECT_EQ(pingsWithin(2 * unsettled), unsettled);
    EXPECT_EQ(pingsWithin(20), 5);
    // A stamp still says the server's present tick, 15 s on.
    s.frameAt(1000);
    s.match.keyDown(1, kW, s.now);
    const auto pressed = s.sent();
    ASSERT_FALSE(pressed.empty());
    EXPECT_EQ(std::get<online::client::KeyDown>(pressed.back()).tick, 1000u);

    MatchView unanswered;
    unanswered.join("ABCD");
    unanswered.opened();
    const double seatedAt = 200;
    unanswered.received(online::write(msg::Welcome{}), seatedAt);
    unanswered.received(online::write(msg::Seated{"ABCD", Seat::Red, "t"}), seatedAt);
    unanswered.received(online::write(msg::MatchStarted{1, 77'000'000, 0, kickOff()}), seatedAt);
    unanswered.takeOutgoing();
    unanswered.keyDown(1, kUp, seatedAt + 100);
    std::string problem;
    const auto down = online::readClientMessage(unanswered.takeOutgoing().at(0), problem);
    EXPECT_EQ(std::get<online::client::KeyDown>(*down).tick, 6u);  // 100 ms after the start
}

// A pause and a resume are inputs at their ticks: the match stops after the pause's tick and
// goes on after the resume's, and no key is sent in between.
TEST(MatchView, PausesAndResumesAtTheServersTicks) {
    Seated s;
    Straight straight;
    straight.add(kBluesRepeat);
    s.frameAt(5);
    s.match.keyDown(1, kW, s.now);
    straight.add(input(Kind::KeyDown, Seat::Blue, 5, 2, kW));
    s.deliver(msg::Paused{"Red left the match", 20});
    straight.add(input(Kind::Pause, Seat::Spectator, 20));
    EXPECT_TRUE(s.match.paused());
    EXPECT_EQ(s.match.status(), "Red left the match: the match waits for them to come back.");
    s.frameAt(40);
    const online::Scene paused = straight.to(20).scene();
    EXPECT_EQ(s.match.scene(), paused);
    s.sent();
    s.match.keyDown(2, kLeft, s.now);
    EXPECT_TRUE(s.sent().empty());
    s.deliver(msg::Resumed{"Red is back", 50});
    straight.add(input(Kind::Resume, Seat::Spectator, 50));
    EXPECT_FALSE(s.match.paused());
    EXPECT_EQ(s.match.status(), "Red is back.");
    s.frameAt(60);  // (no further than a second past the final tick, 0 here)
    EXPECT_EQ(s.match.scene(), straight.to(60).scene());
    EXPECT_NE(s.match.scene().ball, paused.ball);
    s.deliver(msg::RoomClosed{"Red left the room"});
    EXPECT_EQ(s.match.phase(), Phase::Closed);
    EXPECT_EQ(s.match.status(), "Red left the room.");
}

// The first press that brings the ball into play, and the tick at which the match then scores.
struct Goal {
    Input press = input(Kind::KeyDown, Seat::Red, 1, 1, 88);
    std::uint32_t tick = 0;
    online::TickMatch::Box box;
};

Goal firstGoal() {
    Goal goal;
    Straight straight;
    straight.add(goal.press);
    while (goal.tick < 64 * 120 && !straight.to(goal.tick).ended()) {
        ++goal.tick;
    }
    const auto& boxes = straight.to(goal.tick).boxes();
    if (!boxes.empty()) {
        goal.box = boxes.front();
    }
    return goal;
}

// No client shows a box the server's match did not: the prediction stops on the scene where it
// would open one, and the box itself comes with the server's message.
TEST(MatchView, ShowsBoxesOnlyWhenTheServerOpensThem) {
    const Goal goal = firstGoal();
    ASSERT_EQ(goal.box.text, "Goal!");
    Seated s;
    s.echo(goal.press);
    // The server's final ticks, until a little before the goal.
    Straight straight;
    straight.add(goal.press);
    ASSERT_GT(goal.tick, 30u);
    for (std::uint32_t t = online::kFinalEveryTicks; t + 20 < goal.tick;
         t += online::kFinalEveryTicks) {
        s.deliver(msg::Final{t, straight.to(t).digest(), 1, 0});
    }
    s.frameAt(goal.tick + 30);
    EXPECT_EQ(s.match.phase(), Phase::Playing);
    EXPECT_EQ(s.match.scene(), goal.box.scene);
    EXPECT_TRUE(s.match.boxText().empty());

    s.deliver(msg::BoxOpened{1, "Goal!", goal.box.scene});
    EXPECT_EQ(s.match.phase(), Phase::Box);
    online::Scene elsewhere;
    elsewhere.ball = {100, 3000};
    s.deliver(msg::BoxOpened{1, "Goal!", elsewhere});  // the server's scene is the one shown
    EXPECT_EQ(s.match.scene(), elsewhere);
    s.frameAt(goal.tick + 40);  // no frame moves the scene under a box
    EXPECT_EQ(s.match.scene(), elsewhere);
    s.sent();
    s.match.keyDown(1, kUp, s.now);  // keys go to the box
    s.match.boxOk();
    s.match.boxOk();
    const auto sent = s.sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(std::get<online::client::BoxOk>(sent[0]).box, 1u);
    EXPECT_EQ(s.match.status(), "Waiting for Red to press OK...");
    s.deliver(msg::BoxClosed{1});
    s.deliver(msg::BoxOpened{2, "GAME OVER! Red is the Winner", online::Scene{}});
    EXPECT_FALSE(s.match.boxAnswered());
    s.deliver(msg::BoxClosed{2});
    s.deliver(msg::GameOver{online::Scene{}});
    EXPECT_EQ(s.match.phase(), Phase::Over);
    EXPECT_EQ(s.match.status(), "GAME OVER! Red is the Winner");
    EXPECT_EQ(s.match.finalTick(), std::nullopt);
}

// The tests' record of what a client showed: each final tick with the scene there, an own press
// as it shows, a box as it opens over its scene, the end at tick 0, the status, each line only
// when it changed.
TEST(MatchView, LogsWhatItShowsOnceEach) {
    Seated s;
    ScreenLog log;
    std::vector<std::string> lines;
    const auto record = [&] {
        for (std::string& line : log.linesFor(s.match)) {
            lines.push_back(std::move(line));
        }
    };
    const std::string rest = "red [1920,3360] blue [9840,3360] score 0 0";
    Straight straight;
    straight.add(kBluesRepeat);
    straight.add(input(Kind::KeyDown, Seat::Blue, 7, 2, kW));
    const online::Scene shown = straight.to(7).scene();
    record();
    s.frameAt(7);
    s.match.keyDown(1, kW, s.now);
    record();
    record();
    s.echo(kBluesRepeat);
    s.echo(input(Kind::KeyDown, Seat::Blue, 7, 2, kW));
    s.frameAt(8);
    s.deliver(msg::Final{8, straight.to(8).digest(), 0, 2});
    record();
    s.deliver(msg::BoxOpened{1, "Goal!", online::Scene{{100, 3000}}});
    record();
    s.match.boxOk();
    record();
    s.deliver(msg::GameOver{online::Scene{}});
    record();
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "tick 0 ball [6000,3240] " + rest,
                         "status ",
                         "own key 87 " + describeScene(7, shown),
                         describeScene(8, straight.to(8).scene()),
                         "box 1 Goal! | tick 8 ball [100,3000] " + rest,
                         "status Waiting for Red to press OK...",
                         "over tick 0 ball [6000,3240] " + rest,
                         "status Goal!",
                     }));
    EXPECT_EQ(ScreenLog::keyLine(38), "key 38");
}

using Step = MatchView::ConnectionStep;

// A dropped connection keeps the seat for a while: the client comes back with its token; a
// server that is gone for good, or that refuses the client, is said so and not tried again.
TEST(MatchView, TriesAgainOnlyWhileTheSeatCanBeTakenBack) {
    Seated s;
    EXPECT_EQ(s.match.takeConnectionStep(), Step::Open);  // the first connection
    s.match.closed(1006, "", 0);
    EXPECT_EQ(s.match.phase(), Phase::Reconnecting);
    EXPECT_EQ(s.match.status(), "Lost the connection to the server: trying to reconnect...");
    s.match.checkConnection(1000);
    EXPECT_EQ(s.match.takeConnectionStep(), Step::Open);
    s.sent();
    s.match.opened();
    s.deliver(msg::Welcome{});
    auto sent = s.sent();
    ASSERT_EQ(sent.size(), 2u);
    const auto& rejoin = std::get<online::client::Rejoin>(sent[1]);
    EXPECT_EQ(rejoin.code, "ABCD");
    EXPECT_EQ(rejoin.token, "token-1");
    s.deliver(msg::Seated{"ABCD", Seat::Blue, "token-1"});
    s.deliver(msg::MatchStarted{1, Seated::kStartUs, 0, kickOff()});
    EXPECT_EQ(s.match.phase(), Phase::Playing);

    s.match.closed(online::close_code::kGoingAway, "shutting down", 2000);
    EXPECT_EQ(s.match.status(), "The server has shut down: the match is over.");
    s.match.checkConnection(5000);
    EXPECT_EQ(s.match.takeConnectionStep(), Step::None);

    MatchView other;
    other.create();
    other.closed(1006, "", 0);  // never connected: no seat to come back to
    EXPECT_EQ(other.status(), "The server cannot be reached.");

    MatchView old;
    old.join("ABCD");
    old.opened();
    old.closed(online::close_code::kVersion, "This server speaks version 2", 0);
    EXPECT_EQ(old.status(), "This server speaks version 2");

    // Left in the lobby too long: coming back would only be closed again.
    MatchView idle;
    idle.create();
    idle.opened();
    idle.received(online::write(msg::Welcome{}), 0);
    idle.closed(online::close_code::kIdle, "No room was created", 0);
    EXPECT_EQ(idle.status(), "The server closed the connection: No room was created");
    idle.checkConnection(5000);
    EXPECT_EQ(idle.phase(), Phase::Closed);
}

// A server that refuses every new connection: tried once a second, each failure waiting its
// second anew, and given up 28 s after the first drop (the seat waits 30 s on the server). A
// server that answers in between starts the count again.
TEST(MatchView, RetriesEverySecondAndGivesUpAfterTwentyEightSeconds) {
    Seated s(MatchView("http://play.example:8000/?match=ABCD"));
    s.match.takeConnectionStep();
    double now = 0;
    // The host's checks every 500 ms, each failed attempt reported 200 ms after it began: the
    // times the view asked for a connection.
    const auto attemptsWithin = [&](double ms) {
        std::vector<double> opens;
        for (const double end = now + ms; now < end;) {
            s.match.checkConnection(now += 500);
            if (s.match.takeConnectionStep() == Step::Open) {
                opens.push_back(now);
                s.match.closed(1006, "", now + 200);
            }
        }
        return opens;
    };
    s.match.closed(1006, "", now);
    EXPECT_EQ(s.match.socketUrl(), "ws://play.example:8000/ws?room=ABCD");
    EXPECT_EQ(attemptsWithin(4000), (std::vector<double>{1000, 2500, 4000}));
    s.match.checkConnection(now = 5500);
    ASSERT_EQ(s.match.takeConnectionStep(), Step::Open);
    s.match.opened();
    s.deliver(msg::Welcome{});  // the server is back, for a moment
    s.match.closed(1006, "", now);
    const auto opens = attemptsWithin(40000);
    ASSERT_FALSE(opens.empty());
    EXPECT_EQ(opens.front(), 6500.0);
    EXPECT_EQ(opens.back(), 5500 + MatchView::kRetryForMs);  // the last whose 28 s are not up
    EXPECT_EQ(s.match.phase(), Phase::Closed);
    EXPECT_EQ(s.match.status(), "The server cannot be reached.");
}

// A server that stopped or was cut off without a close says nothing: after 2 s of silence it
// is asked, and dropped 4 s later without an answer, as is an attempt to reconnect that neither
// opens nor fails within 6 s. Only a check that comes on time gives up. (Seated, before the
// match: in play the clock's own pings go out as well.)
TEST(MatchView, PingsASilentServerAndDropsItWhenItDoesNotAnswer) {
    Seated s(MatchView(), false);
    s.sent();
    s.match.takeConnectionStep();
    double now = 0;
    // The host's checks, every 500 ms for `ms`: when one dropped the connection, if one did.
    const auto dropsWithin = [&](double ms) -> std::optional<double> {
        for (const double end = now + ms; now < end;) {
            s.match.checkConnection(now += 500);
            if (s.match.takeConnectionStep() == Step::Drop) {
                return now;
            }
        }
        return std::nullopt;
    };
    s.match.checkConnection(now);  // the count starts
    EXPECT_EQ(dropsWithin(5500), std::nullopt);
    const auto sent = s.sent();
    ASSERT_EQ(sent.size(), 1u);  // at 2 s
    EXPECT_TRUE(std::holds_alternative<online::client::Ping>(sent[0]));
    EXPECT_EQ(dropsWithin(500), 6000.0);
    EXPECT_EQ(s.match.phase(), Phase::Reconnecting);
    s.match.closed(1006, "", now);  // the dropped socket's own end changes nothing
    s.match.checkConnection(now += 1000);
    ASSERT_EQ(s.match.takeConnectionStep(), Step::Open);
    s.match.opened();
    s.deliver(msg::Welcome{});
    s.sent();

    s.deliver(msg::Pong{});
    s.match.checkConnection(now += 500);    // the count starts again
    s.match.checkConnection(now += 60000);  // late: the server is asked first
    s.match.checkConnection(now += 4000);   // late again: its answer may be unread
    EXPECT_EQ(s.match.takeConnectionStep(), Step::None);
    s.match.checkConnection(now += 500);
    EXPECT_EQ(s.match.takeConnectionStep(), Step::Drop);
    EXPECT_EQ(s.sent().size(), 1u);

    const double attempt = now + 1000;
    EXPECT_EQ(dropsWithin(7500), attempt + 6500);  // opened at `attempt`, never open
    EXPECT_TRUE(s.sent().empty());                 // nothing to send on a connection not open
}

// A server of another version would be misread: the player is told, and the connection dropped.
TEST(MatchView, RefusesAServerOfAnotherVersion) {
    MatchView match;
    match.create();
    EXPECT_EQ(match.takeConnectionStep(), Step::Open);
    match.opened();
    match.takeOutgoing();
    match.received(online::write(msg::Welcome{online::kProtocolVersion + 1}), 0);
    EXPECT_EQ(match.phase(), Phase::Closed);
    EXPECT_EQ(match.status(),
              "The server speaks version 5 of the online protocol and this game "
              "version 4: update the game.");
    EXPECT_EQ(match.takeConnectionStep(), Step::Drop);
    EXPECT_TRUE(match.takeOutgoing().empty());  // no request, no room
    match.closed(1006, "", 0);
    match.checkConnection(60000);
    EXPECT_EQ(match.takeConnectionStep(), Step::None);
    EXPECT_EQ(match.phase(), Phase::Closed);
}

TEST(MatchView, ReadsCodesAddressesAndLinks) {
    EXPECT_EQ(readJoinTarget(" k7qx ").code, "k7qx");
    EXPECT_EQ(readJoinTarget(" k7qx ").server, "");
    const auto link = readJoinTarget("http://192.168.1.5:8000/?match=K7QX");
    EXPECT_EQ(link.server, "ws://192.168.1.5:8000/ws");
    EXPECT_EQ(link.code, "K7QX");
    EXPECT_EQ(readJoinTarget("https://play.example/?x=1&match=AB&y=2").code, "AB");
    EXPECT_EQ(readJoinTarget("https://play.example/?x=1&match=AB").server, "wss://play.example/ws");
    EXPECT_EQ(readJoinTarget("10.0.0.2:8000").code, "");
    const auto ipv6 = readJoinTarget("http://[fd00::2]:8000/?match=K7QX");  // as --host lists it
    EXPECT_EQ(ipv6.server, "ws://[fd00::2]:8000/ws");
    EXPECT_EQ(ipv6.code, "K7QX");
    EXPECT_EQ(matchSocketUrl("ftp://x"), "");
    EXPECT_EQ(joinLink("wss://play.example/ws", "AB"), "https://play.example/?match=AB");
    EXPECT_EQ(roomSocketUrl("wss://play.example/ws", "AB"), "wss://play.example/ws?room=AB");
    EXPECT_EQ(roomSocketUrl("wss://play.example/ws", ""), "wss://play.example/ws");
    EXPECT_EQ(roomSocketUrl("ws://h/ws", "a b#c"), "ws://h/ws?room=a%20b%23c");  // as typed
    // From a page's address: its own page, with the room in the query.
    EXPECT_EQ(joinLink("https://play.example/voltaro/?match=OLD#x", "AB"),
              "https://play.example/voltaro/?match=AB");
    EXPECT_EQ(joinLink("http://10.0.0.2:8000", "A&B"), "http://10.0.0.2:8000/?match=A%26B");
    EXPECT_EQ(replayLink("wss://play.example/ws", "B7KQ3MXABCDEF"),
              "https://play.example/?replay=B7KQ3MXABCDEF");
    EXPECT_EQ(replayLink("http://[fd00::2]:8000/?match=K7QX", "B7"),
              "http://[fd00::2]:8000/?replay=B7");
    // The record itself, beside the page that plays it.
    EXPECT_EQ(replayRecordUrl("wss://play.example/ws", "B7KQ"), "https://play.example/replay/B7KQ");
    EXPECT_EQ(replayRecordUrl("https://play.example/voltaro/?match=K7QX", "B7"),
              "https://play.example/voltaro/replay/B7");
    for (const char* notAnId : {"", "..", "B7/../x", "B7 x", "B7%2F"}) {
        EXPECT_EQ(replayRecordUrl("wss://play.example/ws", notAnId), "") << notAnId;
    }
    // And from the replay's link, as a friend was sent it.
    EXPECT_EQ(replayRecordOf(" https://play.example/voltaro/?replay=B7KQ#end "),
              "https://play.example/voltaro/replay/B7KQ");
    EXPECT_EQ(replayRecordOf("http://10.0.0.2:8000/?x=1&replay=B7"),
              "http://10.0.0.2:8000/replay/B7");
    for (const char* notOne : {"goal.replay", "replay=B7", "http://h/?areplay=B7",
                               "http://h/?replay=", "http://h/?match=K7QX", "ftp://h/?replay=B7",
                               "http://h/?replay=a/../b"}) {
        EXPECT_EQ(replayRecordOf(notOne), "") << notOne;
    }
}

// "Join a match" on a page: a code, or a link to this server, stays on this page; a link to
// another server opens that server's page, which plays the match there.
TEST(MatchView, APastedLinkJoinsOnTheServerItNames) {
    const std::string here = "https://play.example/?online=create";
    EXPECT_EQ(pageToJoin(" k7qx ", here), "https://play.example/?match=k7qx");
    EXPECT_EQ(pageToJoin("https://play.example/?match=K7QX", here),
              "https://play.example/?match=K7QX");
    EXPECT_EQ(pageToJoin("http://192.168.1.5:8000/?match=K7QX", here),
              "http://192.168.1.5:8000/?match=K7QX");
    EXPECT_EQ(pageToJoin("http://192.168.1.5:8000/", here), "");
    EXPECT_EQ(pageToJoin("   ", here), "");
}

// Red is asked to send the code and the link while no match has been played in the room; the
// link is on the server the view plays on.
TEST(MatchView, InvitesTheFriendOnlyBeforeTheFirstMatch) {
    MatchView red("wss://play.example/ws");
    const auto deliver = [&](const online::ServerMessage& m) { red.received(online::write(m), 0); };
    red.create();
    red.opened();
    deliver(msg::Welcome{});
    EXPECT_FALSE(red.invitesFriend());
    deliver(msg::Seated{"K7QX", Seat::Red, "t"});
    EXPECT_TRUE(red.invitesFriend());
    EXPECT_EQ(red.joinLink(), "https://play.example/?match=K7QX");
    EXPECT_EQ(phaseName(red.phase()), "Waiting");
    deliver(msg::MatchStarted{1, 0, 0, kickOff()});
    EXPECT_FALSE(red.invitesFriend());
    red.closed(1006, "", 0);
    red.checkConnection(1000);
    red.opened();
    deliver(msg::Welcome{});
    deliver(msg::Seated{"K7QX", Seat::Red, "t"});
    EXPECT_EQ(red.phase(), Phase::Waiting);
    EXPECT_FALSE(red.invitesFriend());  // back in a room that has played: the friend knows it

    // The replay is offered at the end of the match it names, and only there.
    deliver(msg::MatchStarted{1, 0, 0, kickOff()});
    deliver(msg::Replay{"B7KQ3MXOLDONE"});  // crossed the start of this match on the way
    EXPECT_EQ(red.replayLink(), "");
    deliver(msg::GameOver{online::Scene{}});
    EXPECT_EQ(red.replayLink(), "");
    red.takeChanged();
    deliver(msg::Replay{"B7KQ3MXABCDEF"});
    EXPECT_TRUE(red.takeChanged());
    EXPECT_EQ(red.replayLink(), "https://play.example/?replay=B7KQ3MXABCDEF");
    EXPECT_EQ(red.replayRecordUrl(), "https://play.example/replay/B7KQ3MXABCDEF");
    deliver(msg::MatchStarted{2, 0, 0, kickOff()});
    EXPECT_EQ(red.replayLink(), "");
    EXPECT_EQ(red.replayRecordUrl(), "");

    Seated blue;
    blue.deliver(msg::Seated{"ABCD", Seat::Blue, "token-1"});
    EXPECT_FALSE(blue.match.invitesFriend());
}

// A spectator sees what the players see, boxes too, and a line on who plays and who else
// watches; it answers no box and asks for no match (the server would close it for either), and
// after a drop it watches again.
TEST(MatchView, WatchesTheRoomAsItsPlayersSeeItAndAnswersForNobody) {
    Talking s{MatchView("wss://play.example/ws")};
    s.match.watch("K7QX");
    EXPECT_EQ(s.match.socketUrl(), "wss://play.example/ws?room=K7QX");
    s.match.opened();
    s.deliver(msg::Welcome{});
    EXPECT_EQ(s.sentOf<online::client::Watch>().at(0).code, "K7QX");
    s.deliver(msg::Seated{"K7QX", Seat::Spectator, ""});
    s.deliver(msg::MatchStarted{1, 0, 0, kickOff()});
    s.deliver(msg::Watchers{3});
    EXPECT_TRUE(s.match.watching());
    EXPECT_EQ(s.match.phase(), Phase::Playing);
    EXPECT_EQ(s.match.watchLine(),
              "You are watching Red against Blue in room K7QX, with 2 others.");
    s.deliver(msg::Watchers{1});
    EXPECT_EQ(s.match.watchLine(), "You are watching Red against Blue in room K7QX.");
    s.match.keyDown(1, kUp, s.now);

    s.deliver(msg::BoxOpened{1, "Goal!", {}});
    s.match.boxOk();
    EXPECT_TRUE(s.match.boxAnswered());
    EXPECT_EQ(s.match.status(), "Waiting for the players to press OK...");
    s.deliver(msg::GameOver{});
    s.match.playAgain();
    for (const auto& m : s.sent()) {
        EXPECT_TRUE(std::holds_alternative<online::client::Ping>(m)) << online::write(m);
    }

    s.match.closed(1006, "", s.now);
    EXPECT_EQ(s.match.phase(), Phase::Reconnecting);
    s.match.checkConnection(s.now + MatchView::kRetryAfterMs);
    EXPECT_EQ(s.match.takeConnectionStep(), MatchView::ConnectionStep::Open);
    s.match.opened();
    s.deliver(msg::Welcome{});
    EXPECT_EQ(s.sentOf<online::client::Watch>().size(), 1u);
}

// The players hear how many watch; the link to watch goes beside the link to join, and a link
// to watch is read as one.
TEST(MatchView, TellsThePlayersWhoWatchesAndHowToWatch) {
    Seated blue;
    EXPECT_EQ(blue.match.watchLine(), "");
    blue.deliver(msg::Watchers{1});
    EXPECT_EQ(blue.match.watchLine(), "1 person watches this match.");
    blue.deliver(msg::Watchers{2});
    EXPECT_EQ(blue.match.watchLine(), "2 people watch this match.");

    EXPECT_EQ(watchLink("wss://play.example/ws", "AB"), "https://play.example/?watch=AB");
    EXPECT_EQ(watchLink("http://10.0.0.2:8000/?match=AB", "A&B"),
              "http://10.0.0.2:8000/?watch=A%26B");
    const auto target = readJoinTarget("http://192.168.1.5:8000/?watch=K7QX");
    EXPECT_EQ(target.code, "K7QX");
    EXPECT_TRUE(target.watch);
    EXPECT_FALSE(readJoinTarget("http://192.168.1.5:8000/?match=K7QX").watch);
    const std::string here = "https://play.example/";
    EXPECT_EQ(pageToJoin("k7qx", here, true), "https://play.example/?watch=k7qx");
    EXPECT_EQ(pageToJoin("http://192.168.1.5:8000/?watch=K7QX", here),
              "http://192.168.1.5:8000/?watch=K7QX");
    MatchView red("wss://play.example/ws");
    red.create();
    red.opened();
    red.received(online::write(msg::Welcome{}), 0);
    red.received(online::write(msg::Seated{"K7QX", Seat::Red, "t"}), 0);
    EXPECT_EQ(red.watchLink(), "https://play.example/?watch=K7QX");
}

// A quick match waits in the queue, on the connection a proxy sends to the queue's server,
// counting the time on the status line; someone comes and it is a match like any other, with
// no friend to invite. A place given up is given up even when a seat crossed it on the way.
TEST(MatchView, WaitsInTheQueueCountingTheTimeUntilSomeoneComes) {
    Talking red{MatchView("wss://play.example/ws")};
    red.match.quickMatch();
    EXPECT_EQ(red.match.socketUrl(), "wss://play.example/ws?queue=1");
    red.match.opened();
    red.deliver(msg::Welcome{});
    EXPECT_EQ(red.sentOf<online::client::QuickMatch>().size(), 1u);
    red.now = 1000;
    red.deliver(msg::Queued{600});
    EXPECT_EQ(red.match.phase(), Phase::Queued);
    EXPECT_EQ(phaseName(red.match.phase()), "Queued");
    EXPECT_EQ(red.match.status(), "Waiting for someone to play: 0:00.");
    red.match.checkConnection(1999);
    EXPECT_EQ(red.match.status(), "Waiting for someone to play: 0:00.");
    red.match.checkConnection(66000);
    EXPECT_EQ(red.match.status(), "Waiting for someone to play: 1:05.");
    red.deliver(msg::Seated{"K7QX", Seat::Red, "t"});
    EXPECT_EQ(red.match.socketUrl(), "wss://play.example/ws?room=K7QX");
    EXPECT_FALSE(red.match.invitesFriend());
    red.deliver(msg::MatchStarted{1, 0, 0, kickOff()});
    EXPECT_EQ(red.match.phase(), Phase::Playing);
    EXPECT_EQ(red.match.matchLine(), "you play Red against Blue, room K7QX");

    Talking late{MatchView("wss://play.example/ws")};
    late.match.quickMatch();
    late.match.opened();
    late.deliver(msg::Welcome{});
    late.deliver(msg::Queued{600});
    late.sent();
    late.match.leaveQueue();
    EXPECT_EQ(late.match.phase(), Phase::Lobby);
    late.deliver(msg::Seated{"K7QY", Seat::Blue, "t"});
    const auto sent = late.sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_TRUE(std::holds_alternative<online::client::LeaveQueue>(sent[0]));
    EXPECT_TRUE(std::holds_alternative<online::client::Leave>(sent[1]));
    EXPECT_EQ(late.match.phase(), Phase::Lobby);

    // Nobody came in the server's time: back in the lobby, to ask again.
    Talking alone{MatchView("wss://play.example/ws")};
    alone.match.quickMatch();
    alone.match.opened();
    alone.deliver(msg::Welcome{});
    alone.deliver(msg::Queued{600});
    alone.deliver(msg::Error{"Nobody came to play within 10 minutes: try again later"});
    EXPECT_EQ(alone.match.phase(), Phase::Lobby);
    EXPECT_EQ(alone.match.status(), "Nobody came to play within 10 minutes: try again later.");
    EXPECT_EQ(MatchView::waitWords(3'599'999), "59:59");
}

}  // namespace
}  // namespace voltaro::client
