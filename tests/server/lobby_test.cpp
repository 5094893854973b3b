#include <set>

#include "lobby_fixture.h"
#include "server/room_code.h"

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
        EXPECT_EQ(started->scene, online::Scene{});
    }

    const ConnectionId third = connect();
    tell(third, say::Join{redSeat->code});
    EXPECT_TRUE(takeLast<msg::Error>(third));
    EXPECT_FALSE(transport.closed.contains(third));
    tell(third, say::Watch{redSeat->code});
    const auto watching = takeLast<msg::Seated>(third);
    ASSERT_TRUE(watching);
    EXPECT_EQ(watching->seat, Seat::Spectator);
    EXPECT_TRUE(watching->token.empty());

    runFor(200ms);
    std::vector<std::string> seen[3];
    for (int i = 0; const ConnectionId id : {red, blue, third}) {
        for (const auto& sent : transport.sent[id]) {
            if (sent.kind == Transport::Kind::State) {
                seen[i].push_back(sent.text);
            }
        }
        ++i;
    }
    EXPECT_GE(seen[0].size(), 12U);  // one a tick
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ(seen[0], seen[2]);

    const ConnectionId crowd = connect();
    tell(crowd, say::Watch{redSeat->code});
    EXPECT_FALSE(takeLast<msg::Seated>(crowd));  // one spectator is all this room takes
    EXPECT_FALSE(transport.closed.contains(crowd));

    const ConnectionId lost = connect();
    tell(lost, say::Join{"ZZZZZZ"});
    EXPECT_TRUE(takeLast<msg::Error>(lost));
    EXPECT_FALSE(transport.closed.contains(lost));
}

struct ZeroRandom final : RandomSource {
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
            runFor(100ms);  // the match plays on
            EXPECT_FALSE(takeAll<msg::State>(p.blue).empty());
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
    tell(p.red, say::Ping{});  // answered anywhere: in a room, in the lobby
    EXPECT_TRUE(takeLast<msg::Pong>(p.red));
    EXPECT_TRUE(transport.closed.empty());
    EXPECT_EQ(lobby().openRooms(), 0U);
    tell(p.red, say::Create{});  // back in the lobby
    EXPECT_TRUE(takeLast<msg::Seated>(p.red));
    tell(p.blue, say::Ping{});
    EXPECT_TRUE(takeLast<msg::Pong>(p.blue));
}

}  // namespace
}  // namespace voltaro::server::test
