// One player's view of an online match, fed the server's messages as the protocol module writes
// them: what it sends, what it shows, and when it tries the connection again.
#include "client/match_view.h"

#include <gtest/gtest.h>

#include "client/screen_log.h"

namespace voltaro::client {
namespace {

namespace msg = online::server;
using Phase = MatchView::Phase;

// A client that joined room ABCD as blue and has seen the match start.
struct Seated {
    MatchView match;

    explicit Seated(MatchView view = MatchView()) : match(std::move(view)) {
        match.setKeyRepeat(400, 50);
        match.join("ABCD");
        match.opened();
        deliver(msg::Welcome{});
        deliver(msg::Seated{"ABCD", online::Seat::Blue, "token-1"});
        deliver(msg::MatchStarted{1, online::Scene{}});
    }

    void deliver(const online::ServerMessage& message) { match.received(online::write(message)); }

    std::vector<online::ClientMessage> sent() {
        std::vector<online::ClientMessage> messages;
        for (const std::string& frame : match.takeOutgoing()) {
            std::string problem;
            messages.push_back(*online::readClientMessage(frame, problem));
        }
        return messages;
    }
};

TEST(MatchView, GreetsAsksForTheSeatAndReportsTheKeyRepeatOnceSeated) {
    Seated s;
    const auto sent = s.sent();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_TRUE(std::holds_alternative<online::client::Hello>(sent[0]));
    EXPECT_EQ(std::get<online::client::Join>(sent[1]).code, "ABCD");
    EXPECT_EQ(std::get<online::client::KeyRepeat>(sent[2]).delayMs, 400);
    EXPECT_EQ(s.match.phase(), Phase::Playing);
    EXPECT_EQ(s.match.matchLine(), "you play Blue against Red, room ABCD");
}

TEST(MatchView, SendsEachHeldKeyOnceAndItsReleaseWithTheSameCode) {
    Seated s;
    s.sent();
    s.match.keyDown(1, 87);
    s.match.keyDown(1, 87);  // the desktop's own repeat: the server repeats instead
    s.match.keyDown(2, 37);
    s.match.keyUp(1);
    s.match.keyUp(1);
    s.match.focusLost();  // key 2 still held
    s.match.focusLost();  // nothing held any more
    const auto sent = s.sent();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(std::get<online::client::KeyDown>(sent[0]).code, 87);
    EXPECT_EQ(std::get<online::client::KeyDown>(sent[1]).code, 37);
    EXPECT_EQ(std::get<online::client::KeyUp>(sent[2]).code, 87);
    EXPECT_TRUE(std::holds_alternative<online::client::FocusLost>(sent[3]));
}

TEST(MatchView, ShowsEachBoxOverItsSceneAndAnswersItOnce) {
    Seated s;
    online::Scene atGoal;
    atGoal.ball = {100, 3000};
    s.deliver(msg::State{7, online::Scene{}});
    EXPECT_EQ(s.match.tickLine(),
              "tick 7 ball [6000,3240] red [1920,3360] blue [9840,3360] score 0 0");
    s.deliver(msg::BoxOpened{1, "Goal!", atGoal});
    EXPECT_EQ(s.match.phase(), Phase::Box);
    EXPECT_EQ(s.match.scene(), atGoal);
    s.deliver(msg::State{8, online::Scene{}});  // no state moves the scene under a box
    EXPECT_EQ(s.match.scene(), atGoal);
    s.sent();
    s.match.keyDown(1, 38);  // keys go to the box
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
    EXPECT_EQ(s.match.tickLine(), "");  // the box's scene is not the match's at any tick
    s.deliver(msg::GameOver{online::Scene{}});
    EXPECT_EQ(s.match.phase(), Phase::Over);
    EXPECT_EQ(s.match.status(), "GAME OVER! Red is the Winner");
}

// The tests' record of what a client showed: each scene of the match at its tick, a box as it
// opens over its scene, the end at tick 0, the status, each line only when it changed.
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
    record();
    s.deliver(msg::State{7, online::Scene{}});
    record();
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
                         "tick 7 ball [6000,3240] " + rest,
                         "box 1 Goal! | tick 7 ball [100,3000] " + rest,
                         "status Waiting for Red to press OK...",
                         "over tick 0 ball [6000,3240] " + rest,
                         "status Goal!",
                     }));
    EXPECT_EQ(ScreenLog::keyLine(38), "key 38");
}

TEST(MatchView, SaysWhenTheFriendLeavesAndComesBack) {
    Seated s;
    s.deliver(msg::Paused{"Red left the match"});
    EXPECT_TRUE(s.match.paused());
    EXPECT_EQ(s.match.status(), "Red left the match: the match waits for them to come back.");
    s.deliver(msg::Resumed{"Red is back"});
    EXPECT_FALSE(s.match.paused());
    EXPECT_EQ(s.match.status(), "Red is back.");
    s.deliver(msg::RoomClosed{"Red left the room"});
    EXPECT_EQ(s.match.phase(), Phase::Closed);
    EXPECT_EQ(s.match.status(), "Red left the room.");
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
    s.deliver(msg::Seated{"ABCD", online::Seat::Blue, "token-1"});
    s.deliver(msg::MatchStarted{1, online::Scene{}});
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
    idle.received(online::write(msg::Welcome{}));
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
// opens nor fails within 6 s. Only a check that comes on time gives up.
TEST(MatchView, PingsASilentServerAndDropsItWhenItDoesNotAnswer) {
    Seated s;
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
    match.received(online::write(msg::Welcome{online::kProtocolVersion + 1}));
    EXPECT_EQ(match.phase(), Phase::Closed);
    EXPECT_EQ(match.status(),
              "The server speaks version 3 of the online protocol and this game "
              "version 2: update the game.");
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
    red.create();
    red.opened();
    red.received(online::write(msg::Welcome{}));
    EXPECT_FALSE(red.invitesFriend());
    red.received(online::write(msg::Seated{"K7QX", online::Seat::Red, "t"}));
    EXPECT_TRUE(red.invitesFriend());
    EXPECT_EQ(red.joinLink(), "https://play.example/?match=K7QX");
    EXPECT_EQ(phaseName(red.phase()), "Waiting");
    red.received(online::write(msg::MatchStarted{1, online::Scene{}}));
    EXPECT_FALSE(red.invitesFriend());
    red.closed(1006, "", 0);
    red.checkConnection(1000);
    red.opened();
    red.received(online::write(msg::Welcome{}));
    red.received(online::write(msg::Seated{"K7QX", online::Seat::Red, "t"}));
    EXPECT_EQ(red.phase(), Phase::Waiting);
    EXPECT_FALSE(red.invitesFriend());  // back in a room that has played: the friend knows it

    Seated blue;
    blue.deliver(msg::Seated{"ABCD", online::Seat::Blue, "token-1"});
    EXPECT_FALSE(blue.match.invitesFriend());
}

}  // namespace
}  // namespace voltaro::client
