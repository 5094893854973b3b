#include <set>

#include "lobby_fixture.h"
#include "server/core/room_code.h"

namespace voltaro::server::test {
namespace {

using online::Seat;
namespace close_code = online::close_code;

// The creator sits red and the joiner blue, each with a token nobody guesses; anyone else with
// the code watches, up to the room's limit, typed in any case, and sees what the players see.
TEST_F(LobbyTest, SeatsTheCreatorRedTheJoinerBlueAndEveryoneElseAsSpectators) {
    limits.codePrefix = "b7";
    limits.maxSpectators = 1;
    const ConnectionId red = connect();
    tell(red, say::Create{});
    const auto redSeat = takeLast<msg::Seated>(red);
    ASSERT_TRUE(redSeat);
    EXPECT_EQ(redSeat->seat, Seat::Red);
    EXPECT_EQ(redSeat->code.size(), 8U);
    EXPECT_EQ(redSeat->code.substr(0, 2), "B7");
    EXPECT_EQ(redSeat->token.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(redSeat->token.size(), 32U);  // 128 bits
    EXPECT_EQ(lobby().openRooms(), 1U);
    EXPECT_EQ(lobby().openMatches(), 0U);

    std::string typed = redSeat->code;
    typed[3] = static_cast<char>(std::tolower(static_cast<unsigned char>(typed[3])));
    const ConnectionId blue = connect();
    tell(blue, say::Join{typed});
    const auto toBlue = take(blue);
    const auto blueSeat = lastOf<msg::Seated>(toBlue);
    ASSERT_TRUE(blueSeat);
    EXPECT_EQ(blueSeat->seat, Seat::Blue);
    EXPECT_NE(blueSeat->token, redSeat->token);
    EXPECT_EQ(lobby().openMatches(), 1U);
    for (const auto& started :
         {lastOf<msg::MatchStarted>(toBlue), takeLast<msg::MatchStarted>(red)}) {
        ASSERT_TRUE(started);
        EXPECT_EQ(started->match, 1U);
        EXPECT_EQ(started->tick, 0U);
        EXPECT_EQ(started->startUs,
                  std::chrono::duration_cast<std::chrono::microseconds>(now).count());
    }
    EXPECT_EQ(follow(red).match().scene(), online::Scene{});

    const ConnectionId third = connect();
    tell(third, say::Join{redSeat->code});
    EXPECT_TRUE(takeLast<msg::Error>(third));
    EXPECT_FALSE(transport.closed.contains(third));
    tell(third, say::Watch{redSeat->code});
    const auto watching = takeLast<msg::Seated>(third);
    ASSERT_TRUE(watching);
    EXPECT_EQ(watching->seat, Seat::Spectator);
    EXPECT_TRUE(watching->token.empty());

    tap(blue, 38);
    runFor(500ms);
    tap(red, 40);
    runFor(500ms);
    // The inputs and final ticks since the watcher came, alike for everyone but for a player's
    // own inputs, which it played already.
    const auto seen = [&](ConnectionId id, std::string_view leaving = {}) {
        std::vector<std::string> texts;
        for (const auto& sent : transport.sent[id]) {
            const bool input = sent.text.starts_with(R"({"type":"input")");
            if ((input && (leaving.empty() || sent.text.find(leaving) == std::string::npos)) ||
                sent.text.starts_with(R"({"type":"final")")) {
                texts.push_back(sent.text);
            }
        }
        return texts;
    };
    EXPECT_EQ(seen(third).size(), 4U + finalTickAt(64) / online::kFinalEveryTicks);
    EXPECT_EQ(seen(red, R"("seat":"red")"), seen(third, R"("seat":"red")"));
    EXPECT_EQ(seen(blue, R"("seat":"blue")"), seen(third, R"("seat":"blue")"));
    EXPECT_TRUE(follow(red).agreed());
    EXPECT_TRUE(follow(blue).agreed());

    const ConnectionId crowd = connect();
    tell(crowd, say::Watch{redSeat->code});
    EXPECT_FALSE(takeLast<msg::Seated>(crowd));  // one spectator is all this room takes
    EXPECT_FALSE(transport.closed.contains(crowd));

    const ConnectionId lost = connect();
    tell(lost, say::Join{"ZZZZZZ"});
    EXPECT_TRUE(takeLast<msg::Error>(lost));
    EXPECT_FALSE(transport.closed.contains(lost));
}

// A replay id names a record to anyone with its link: 60 bits from the system's source, each
// symbol of the alphabet as likely as any other, after the process's prefix; and only exactly
// such an id is taken for one.
TEST(ReplayId, IsUnguessableAndOnlyItsOwnFormIsTakenForOne) {
    SystemRandom system;
    std::set<std::string> ids;
    std::set<char> symbols;
    for (int i = 0; i < 2000; ++i) {
        const std::string id = newReplayId(system, "B");
        ASSERT_EQ(id.size(), 1 + kReplayIdSymbols);
        ASSERT_EQ(id[0], 'B');
        ASSERT_TRUE(isReplayId(id, "B")) << id;
        ids.insert(id);
        symbols.insert(id.begin() + 1, id.end());
    }
    EXPECT_EQ(ids.size(), 2000U);
    EXPECT_EQ(symbols.size(), 32U);  // every symbol shows up: no bit of the source is lost
    EXPECT_EQ(symbols.count('0') + symbols.count('O') + symbols.count('1') + symbols.count('I'),
              0U);

    const std::string id = newReplayId(system, "B");
    for (const std::string& other :
         {std::string(), id.substr(1), "A" + id.substr(1), id + "2", id.substr(0, id.size() - 1),
          std::string("b") + id.substr(1), id.substr(0, 6) + "0" + id.substr(7),
          id.substr(0, 6) + "/" + id.substr(7), id.substr(0, 6) + "." + id.substr(7),
          id.substr(0, 6) + "a" + id.substr(7), "B%32" + id.substr(3),
          std::string(id).replace(4, 1, 1, '\0')}) {
        EXPECT_FALSE(isReplayId(other, "B")) << other;
    }
    EXPECT_TRUE(isReplayId(id.substr(1), ""));
}

struct ZeroRandom final : SecretSource {
    void fill(std::span<std::byte> out) override { std::fill(out.begin(), out.end(), std::byte{}); }
};

// No code is handed out twice while its room is open, not even by a random source that keeps
// giving the same one.
TEST_F(LobbyTest, NeverReusesTheCodeOfAnOpenRoom) {
    std::set<std::string> codes;
    for (int i = 0; i < 300; ++i) {
        const ConnectionId id = connect();
        tell(id, say::Create{});
        codes.insert(takeLast<msg::Seated>(id)->code);
    }
    EXPECT_EQ(codes.size(), 300U);
    SystemRandom system;
    EXPECT_NE(newSeatToken(system), newSeatToken(system));

    ZeroRandom zero;
    FakeTransport stuck;
    Lobby lobby(stuck, {}, {}, zero);
    lobby.connected(1, now);
    lobby.connected(2, now);
    for (const ConnectionId id : {1, 2}) {
        lobby.received(id, online::write(say::Hello{}), now);
        lobby.received(id, online::write(say::Create{}), now);
    }
    EXPECT_EQ(lobby.openRooms(), 1U);
    EXPECT_NE(stuck.sent[2].back().text.find("\"error\""), std::string::npos);
    EXPECT_TRUE(stuck.closed.empty());
}

// Past the limit a create is refused, without closing the connection; a room that closes
// makes space again.
TEST_F(LobbyTest, RefusesRoomsPastTheLimit) {
    limits.maxRooms = 2;
    const ConnectionId first = connect();
    tell(first, say::Create{});
    tell(connect(), say::Create{});
    const ConnectionId late = connect();
    tell(late, say::Create{});
    EXPECT_EQ(lobby().openRooms(), 2U);
    const auto refused = takeLast<msg::Error>(late);
    ASSERT_TRUE(refused);
    EXPECT_NE(refused->message.find("full"), std::string::npos);
    EXPECT_FALSE(transport.closed.contains(late));

    tell(first, say::Leave{});
    EXPECT_EQ(lobby().openRooms(), 1U);
    tell(late, say::Create{});
    EXPECT_TRUE(takeLast<msg::Seated>(late));
    EXPECT_EQ(lobby().openRooms(), 2U);
}

// A client of another version is told in words, then closed with the version code.
TEST_F(LobbyTest, TellsAClientOfAnotherVersionAndClosesIt) {
    const ConnectionId old = nextConnection();
    tell(old, say::Hello{online::kProtocolVersion + 1});
    const auto error = takeLast<msg::Error>(old);
    ASSERT_TRUE(error);
    EXPECT_NE(error->message.find("version"), std::string::npos);
    ASSERT_TRUE(transport.closed.contains(old));
    EXPECT_EQ(transport.closed[old].code, close_code::kVersion);
    EXPECT_EQ(lobby().openRooms(), 0U);
}

// Whatever a connection sends that no correct client would, closes that connection with a
// code and a reason, and nothing else: the match goes on for the others.
TEST_F(LobbyTest, ClosesOnlyTheConnectionThatSentABadMessage) {
    const struct {
        const char* name;
        std::string text;
        std::uint16_t code;
        bool spectator;
    } cases[] = {
        {"not JSON", "key 37", close_code::kMalformed, false},
        {"not an object", "[1,2]", close_code::kMalformed, true},
        {"unknown type", R"({"type":"teleport"})", close_code::kMalformed, false},
        {"missing member", R"({"type":"keyDown"})", close_code::kMalformed, true},
        {"key out of range", R"({"type":"keyDown","code":65537})", close_code::kMalformed, false},
        {"wrong kind", R"({"type":"ok","box":"1"})", close_code::kMalformed, false},
        {"too long", R"({"type":"leave","pad":")" + std::string(600, 'x') + "\"}",
         close_code::kMalformed, true},
        {"hello twice", online::write(say::Hello{}), close_code::kOutOfPlace, false},
        {"create in a room", online::write(say::Create{}), close_code::kOutOfPlace, true},
        {"spectator's key", online::write(say::KeyDown{38}), close_code::kOutOfPlace, true},
        {"spectator's OK", online::write(say::BoxOk{1}), close_code::kOutOfPlace, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Players p = startMatch();
        const ConnectionId watcher = connect();
        tell(watcher, say::Watch{p.code});
        const ConnectionId culprit = c.spectator ? watcher : p.red;
        const auto refusedBefore = lobby().refusals().total(Refusal::Malformed);
        tellRaw(culprit, c.text);
        ASSERT_TRUE(transport.closed.contains(culprit));
        EXPECT_EQ(transport.closed[culprit].code, c.code);
        // What no client could have sent is counted for the operator; a message out of its
        // place may be a slow client's, and is not.
        EXPECT_EQ(lobby().refusals().total(Refusal::Malformed) - refusedBefore,
                  c.code == close_code::kMalformed ? 1U : 0U);
        EXPECT_FALSE(transport.closed[culprit].reason.empty());
        EXPECT_FALSE(transport.closed.contains(p.blue));
        take(p.blue);
        if (c.spectator) {
            runUntilFinal(p.blue);  // the match plays on
            EXPECT_FALSE(takeAll<msg::Final>(p.blue).empty());
        } else {
            // A player's connection that closes is a player gone: the seat waits for them.
            EXPECT_EQ(lobby().openMatches(), 1U);
            tell(connect(), say::Rejoin{p.code, p.redToken});
            EXPECT_TRUE(takeLast<msg::Resumed>(p.blue));
        }
        lobby().shutdown(now);
        forgetSent();
    }

    // Before hello nothing is understood.
    const ConnectionId rude = nextConnection();
    const auto refusedBefore = lobby().refusals().total(Refusal::Malformed);
    tell(rude, say::Create{});
    EXPECT_EQ(transport.closed[rude].code, close_code::kOutOfPlace);
    EXPECT_EQ(lobby().refusals().total(Refusal::Malformed), refusedBefore + 1);
}

// A game hosting on a home network: a friend nearby who knows only its address joins the one
// match that waits for a friend; with none or several waiting, or from afar, the code is needed.
TEST_F(LobbyTest, AHostedServerSeatsANearbyFriendWithoutTheCodeWhenOneMatchWaits) {
    limits.joinWithoutCode = true;
    const auto refusal = [&](ConnectionId id) {
        tell(id, say::Join{""});
        const auto error = takeLast<msg::Error>(id);
        return error ? error->message : std::string("seated");
    };
    const ConnectionId friendly = connect(true);
    EXPECT_EQ(refusal(friendly), "No single match here waits for a friend: type its code");
    const ConnectionId red = connect();
    tell(red, say::Create{});
    const auto code = takeLast<msg::Seated>(red)->code;
    EXPECT_EQ(refusal(connect(false)), "Type the code of the match, or paste its link");
    tell(friendly, say::Join{""});
    const auto seated = takeLast<msg::Seated>(friendly);
    ASSERT_TRUE(seated);
    EXPECT_EQ(seated->code, code);
    EXPECT_EQ(seated->seat, Seat::Blue);
    EXPECT_TRUE(takeLast<msg::MatchStarted>(red));

    tell(connect(), say::Create{});  // one in play, one waiting
    const ConnectionId second = connect(true);
    tell(second, say::Join{""});
    EXPECT_EQ(takeLast<msg::Seated>(second)->seat, Seat::Blue);
    tell(connect(), say::Create{});
    tell(connect(), say::Create{});  // two waiting
    EXPECT_EQ(refusal(connect(true)), "No single match here waits for a friend: type its code");
}

// Messages that crossed the closing of their box or room on the way are no fault.
TEST_F(LobbyTest, IgnoresMessagesThatCrossedAChange) {
    const Players p = startMatch();
    tell(p.red, say::BoxOk{7});
    tell(p.red, say::PlayAgain{});
    tell(p.blue, say::Leave{});
    EXPECT_TRUE(takeLast<msg::RoomClosed>(p.red));
    tell(p.red, say::KeyDown{38});
    tell(p.red, say::KeyUp{38});
    tell(p.red, say::BoxOk{1});
    tell(p.red, say::FocusLost{});
    tell(p.red, say::Ping{});  // answered anywhere: in a room, in the lobby, with the time
    const auto pong = takeLast<msg::Pong>(p.red);
    ASSERT_TRUE(pong);
    EXPECT_EQ(pong->timeUs, std::chrono::duration_cast<std::chrono::microseconds>(now).count());
    EXPECT_TRUE(transport.closed.empty());
    EXPECT_EQ(lobby().openRooms(), 0U);
    tell(p.red, say::Create{});  // back in the lobby
    EXPECT_TRUE(takeLast<msg::Seated>(p.red));
    tell(p.blue, say::Ping{});
    EXPECT_TRUE(takeLast<msg::Pong>(p.blue));
}

// One person cannot fill the server: their open rooms are counted, those that wait for them to
// come back too, and so are the rooms they open in a minute; anyone else can still open one.
TEST_F(LobbyTest, LimitsTheRoomsOfOnePersonSoThatOthersCanOpenOne) {
    limits.maxRooms = 20;
    const auto create = [&](const std::string& person) {
        const ConnectionId id = connectAs(person);
        tell(id, say::Create{});
        const auto error = takeLast<msg::Error>(id);
        EXPECT_FALSE(transport.closed.contains(id));
        return std::pair{id, error ? error->message : std::string()};
    };
    for (int i = 0; i < 100; ++i) {  // open and drop, as fast as messages go
        lobby().disconnected(create("198.51.100.7").first, now);
    }
    EXPECT_EQ(lobby().openRooms(), limits.roomsPerPerson);
    EXPECT_EQ(create("198.51.100.7").second,
              "You have as many rooms open as one player may: leave one, or wait until it closes");
    EXPECT_EQ(create("203.0.113.9").second, "");
    EXPECT_EQ(refusals.total(Refusal::RoomQuota), 97U);
    ASSERT_FALSE(refusalLines.empty());
    EXPECT_NE(refusalLines[0].find("room_quota"), std::string::npos);

    // Once the creator's seats stop waiting, the rooms are theirs no more: a minute's share of
    // new rooms is all they may open, then one every five seconds.
    runFor(limits.reconnectWait);
    EXPECT_EQ(lobby().openRooms(), 1U);
    const std::string person = "2001:db8:1:2::/64";
    for (int i = 0; i < limits.newRoomsPerMinute; ++i) {
        const auto [id, error] = create(person);
        EXPECT_EQ(error, "");
        tell(id, say::Leave{});
    }
    EXPECT_EQ(create(person).second,
              "You opened too many rooms in a short while: wait a minute and try again");
    runFor(5s + 1ms);
    EXPECT_EQ(create(person).second, "");
    EXPECT_NE(create(person).second, "");
}

// Every wrong code costs the person one of ten a minute; past that, join, watch and rejoin are
// refused before any lookup, the right code too, while someone else's join goes through.
TEST_F(LobbyTest, RefusesCodesFromAPersonWhoGuessedTooOften) {
    const ConnectionId red = connect();
    tell(red, say::Create{});
    const std::string code = takeLast<msg::Seated>(red)->code;
    const ConnectionId guesser = connectAs("192.0.2.1");
    const ConnectionId other = connectAs("192.0.2.1");
    for (int i = 0; i < limits.wrongCodesPerMinute; ++i) {
        tell(i % 2 ? guesser : other, say::Join{"ZZZZ" + std::to_string(i)});
    }
    EXPECT_EQ(takeLast<msg::Error>(guesser)->message, "No room has that code");
    const std::string refused = "Too many wrong codes: wait a minute and try again";
    for (const online::ClientMessage& m : std::vector<online::ClientMessage>{
             say::Join{code}, say::Watch{code}, say::Rejoin{code, std::string(32, '0')}}) {
        tell(guesser, m);
        EXPECT_EQ(takeLast<msg::Error>(guesser)->message, refused);
    }
    EXPECT_FALSE(transport.closed.contains(guesser));
    EXPECT_EQ(refusals.total(Refusal::CodeGuesses), 3U);
    EXPECT_TRUE(takeAll<msg::MatchStarted>(red).empty());

    const ConnectionId friendly = connect();
    tell(friendly, say::Join{code});
    EXPECT_EQ(takeLast<msg::Seated>(friendly)->seat, Seat::Blue);
    runFor(6s + 1ms);  // one more try refilled
    tell(guesser, say::Watch{code});
    EXPECT_EQ(takeLast<msg::Seated>(guesser)->seat, Seat::Spectator);
}

// A connection that never says hello, or that sits in the lobby in no room, is closed when its
// wait ends; pings do not extend it. In a room, as player or spectator, none is closed.
TEST_F(LobbyTest, ClosesConnectionsThatSayNoHelloOrFindNoRoomInTime) {
    const ConnectionId silent = nextConnection();
    const ConnectionId idle = connect();
    const Players p = startMatch();
    const ConnectionId watcher = connect();
    tell(watcher, say::Watch{p.code});
    runFor(limits.helloWait - 1ms);
    EXPECT_TRUE(transport.closed.empty());
    runFor(1ms);
    ASSERT_TRUE(transport.closed.contains(silent));
    EXPECT_EQ(transport.closed[silent].code, close_code::kIdle);
    EXPECT_EQ(transport.closed[silent].reason, "No hello came within 10 s");
    EXPECT_EQ(transport.closed.size(), 1U);

    tell(idle, say::Ping{});
    tell(idle, say::Join{"ZZZZZZ"});
    runUntil(1s + limits.lobbyWait);
    EXPECT_EQ(transport.closed[idle].code, close_code::kIdle);
    EXPECT_EQ(transport.closed[idle].reason, "No room was created, joined or watched within 120 s");
    EXPECT_EQ(refusals.total(Refusal::Idle), 2U);

    // Out of a room the wait starts again.
    runFor(limits.lobbyWait);
    EXPECT_EQ(transport.closed.size(), 2U);
    tell(watcher, say::Leave{});
    runFor(limits.lobbyWait - 1ms);
    EXPECT_FALSE(transport.closed.contains(watcher));
    runFor(1ms);
    EXPECT_EQ(transport.closed[watcher].code, close_code::kIdle);
    EXPECT_FALSE(transport.closed.contains(p.red));
    EXPECT_FALSE(transport.closed.contains(p.blue));
}

}  // namespace
}  // namespace voltaro::server::test
