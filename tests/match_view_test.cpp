// One player's view of an online match, fed the server's messages as the protocol module writes
// them: what it sends, what it shows, and when it tries the connection again.
#include "client/match_view.h"

#include <gtest/gtest.h>

namespace voltaro::client {
namespace {

namespace msg = online::server;
using Phase = MatchView::Phase;

// A client that joined room ABCD as blue and has seen the match start.
struct Seated {
    MatchView match;

    Seated() {
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

// A dropped connection keeps the seat for a while: the client comes back with its token; a
// server that is gone for good, or that refuses the client, is said so and not tried again.
TEST(MatchView, TriesAgainOnlyWhileTheSeatCanBeTakenBack) {
    Seated s;
    EXPECT_TRUE(s.match.closed(1006, ""));
    EXPECT_EQ(s.match.phase(), Phase::Reconnecting);
    EXPECT_EQ(s.match.status(), "Lost the connection to the server: trying to reconnect...");
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

    EXPECT_FALSE(s.match.closed(online::close_code::kGoingAway, "shutting down"));
    EXPECT_EQ(s.match.status(), "The server has shut down: the match is over.");

    MatchView other;
    other.create();
    EXPECT_FALSE(other.closed(1006, ""));  // never connected: no seat to come back to
    EXPECT_EQ(other.status(), "The server cannot be reached.");

    MatchView old;
    old.join("ABCD");
    old.opened();
    EXPECT_FALSE(old.closed(online::close_code::kVersion, "This server speaks version 2"));
    EXPECT_EQ(old.status(), "This server speaks version 2");

    // Left in the lobby too long: coming back would only be closed again.
    MatchView idle;
    idle.create();
    idle.opened();
    idle.received(online::write(msg::Welcome{}));
    EXPECT_FALSE(idle.closed(online::close_code::kIdle, "No room was created"));
    EXPECT_EQ(idle.status(), "The server closed the connection: No room was created");
}

// A server stopped or cut off without a close says nothing: after 2 s of silence it is asked,
// and given up 4 s later without an answer, as is an attempt to reconnect that neither opens nor
// fails within 6 s. Only a check that comes on time gives up.
TEST(MatchView, PingsASilentServerAndGivesItUpWhenItDoesNotAnswer) {
    Seated s;
    s.sent();
    double now = 0;
    // The host's checks, every 500 ms for `ms`: when one gave up, if one did.
    const auto givesUpWithin = [&](double ms) -> std::optional<double> {
        for (const double end = now + ms; now < end;) {
            if (s.match.serverSilent(now += 500)) {
                return now;
            }
        }
        return std::nullopt;
    };
    EXPECT_FALSE(s.match.serverSilent(now));  // the count starts
    EXPECT_EQ(givesUpWithin(5500), std::nullopt);
    const auto sent = s.sent();
    ASSERT_EQ(sent.size(), 1u);  // at 2 s
    EXPECT_TRUE(std::holds_alternative<online::client::Ping>(sent[0]));
    EXPECT_EQ(givesUpWithin(500), 6000.0);

    s.deliver(msg::Pong{});
    EXPECT_FALSE(s.match.serverSilent(now += 500));    // the count starts again
    EXPECT_FALSE(s.match.serverSilent(now += 60000));  // late: the server is asked first
    EXPECT_FALSE(s.match.serverSilent(now += 4000));   // late again: its answer may be unread
    EXPECT_TRUE(s.match.serverSilent(now += 500));
    EXPECT_EQ(s.sent().size(), 1u);

    EXPECT_TRUE(s.match.closed(1006, ""));
    const double attempt = now;
    s.match.connecting();
    EXPECT_EQ(givesUpWithin(7000), attempt + 6500);
    EXPECT_TRUE(s.sent().empty());  // nothing to send on a connection not open

    s.match.gaveUp();
    EXPECT_EQ(givesUpWithin(60000), std::nullopt);
}

TEST(MatchView, AStaleTokenJoinsAfreshAndARefusalLetsThePlayerTryAgain) {
    MatchView match;
    match.join("ABCD", "old-token");
    match.opened();
    match.received(online::write(msg::Welcome{}));
    EXPECT_TRUE(
        match.closed(online::close_code::kOutOfPlace, "no seat in this room has that token"));
    match.takeOutgoing();
    match.opened();
    match.received(online::write(msg::Welcome{}));
    const auto frames = match.takeOutgoing();
    ASSERT_EQ(frames.size(), 2u);
    std::string problem;
    EXPECT_EQ(std::get<online::client::Join>(*online::readClientMessage(frames[1], problem)).code,
              "ABCD");
    match.received(online::write(msg::Error{"No room has that code"}));
    EXPECT_EQ(match.phase(), Phase::Lobby);
    EXPECT_EQ(match.status(), "No room has that code.");
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
}

}  // namespace
}  // namespace voltaro::client
