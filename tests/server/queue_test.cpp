// The quick match and the count of those who watch, on the lobby with a fake network.
#include "lobby_fixture.h"

namespace voltaro::server::test {
namespace {

using online::Seat;
namespace close_code = online::close_code;

class QueueTest : public LobbyTest {
  protected:
    ConnectionId queued(const std::string& person = {}) {
        const ConnectionId id = person.empty() ? connect() : connectAs(person);
        tell(id, say::QuickMatch{});
        return id;
    }
    std::optional<Seat> seatOf(ConnectionId id) {
        const auto seated = takeLast<msg::Seated>(id);
        return seated ? std::optional(seated->seat) : std::nullopt;
    }
    std::string errorOf(ConnectionId id) {
        const auto error = takeLast<msg::Error>(id);
        return error ? error->message : std::string();
    }
};

// The first two who wait play each other in a new room, the longer waiting as red; a third
// waits for a fourth. Each pair plays a match of their own to its end, and may play again.
TEST_F(QueueTest, SeatsTheTwoLongestWaitingInANewRoomTheLongerWaitingAsRed) {
    const ConnectionId first = queued();
    const auto toFirst = take(first);
    ASSERT_EQ(toFirst.size(), 2U);  // welcome, queued
    ASSERT_TRUE(std::holds_alternative<msg::Queued>(toFirst[1]));
    EXPECT_EQ(std::get<msg::Queued>(toFirst[1]).waitSeconds, 600U);
    EXPECT_EQ(lobby().waitingForQuickMatch(), 1U);
    EXPECT_EQ(lobby().openRooms(), 0U);

    runFor(3s);
    const ConnectionId second = queued();
    const ConnectionId third = queued();
    const auto toRed = take(first);
    const auto red = lastOf<msg::Seated>(toRed);
    ASSERT_TRUE(red);
    EXPECT_EQ(red->seat, Seat::Red);
    EXPECT_FALSE(red->token.empty());
    EXPECT_TRUE(lastOf<msg::MatchStarted>(toRed));
    const auto blue = takeLast<msg::Seated>(second);
    ASSERT_TRUE(blue);
    EXPECT_EQ(blue->seat, Seat::Blue);
    EXPECT_EQ(blue->code, red->code);
    EXPECT_FALSE(takeLast<msg::Seated>(third));
    EXPECT_EQ(lobby().waitingForQuickMatch(), 1U);
    EXPECT_EQ(lobby().openMatches(), 1U);

    const ConnectionId fourth = queued();
    EXPECT_EQ(seatOf(third), Seat::Red);
    EXPECT_EQ(seatOf(fourth), Seat::Blue);
    EXPECT_EQ(lobby().openMatches(), 2U);
    EXPECT_EQ(lobby().waitingForQuickMatch(), 0U);

    // The usual match: a key sends the ball into a goal, its boxes close, another if both
    // want it.
    tap(first, 32);
    bool over = false;
    ASSERT_TRUE(
        runUntilDone([&] { return over = over || !takeAll<msg::GameOver>(first).empty(); }, 90s));
    tell(first, say::PlayAgain{});
    tell(second, say::PlayAgain{});
    EXPECT_EQ(takeLast<msg::MatchStarted>(second)->match, 2U);
}

// Leaving the queue, or going, gives up the place: the next two are paired. A place is held
// for the queue's wait, not the lobby's, and not for ever.
TEST_F(QueueTest, APlaceIsGivenUpByLeavingByGoingAndAfterTheQueuesWait) {
    const ConnectionId leaver = queued();
    tell(leaver, say::LeaveQueue{});
    const ConnectionId dropped = queued();
    lobby().disconnected(dropped, now);
    EXPECT_EQ(lobby().waitingForQuickMatch(), 0U);
    const ConnectionId patient = queued();
    runFor(limits.lobbyWait + 1s);
    EXPECT_FALSE(transport.closed.contains(patient));             // the lobby's wait gave way
    EXPECT_EQ(transport.closed[leaver].code, close_code::kIdle);  // but not out of the queue

    const ConnectionId other = queued();
    EXPECT_EQ(seatOf(patient), Seat::Red);
    EXPECT_EQ(seatOf(other), Seat::Blue);
    EXPECT_FALSE(takeLast<msg::Seated>(leaver));

    // One left alone is told when the wait is over, and has the lobby's wait to ask again.
    const ConnectionId alone = queued();
    runFor(limits.queueWait - 1ms);
    EXPECT_EQ(lobby().waitingForQuickMatch(), 1U);
    runFor(1ms);
    EXPECT_EQ(lobby().waitingForQuickMatch(), 0U);
    EXPECT_EQ(errorOf(alone), "Nobody came to play within 10 minutes: try again later");
    EXPECT_FALSE(transport.closed.contains(alone));
    tell(alone, say::QuickMatch{});
    EXPECT_TRUE(takeLast<msg::Queued>(alone));
    tell(alone, say::Leave{});  // leaving for good leaves the queue too
    EXPECT_EQ(lobby().waitingForQuickMatch(), 0U);
    runFor(limits.lobbyWait);
    EXPECT_EQ(transport.closed[alone].code, close_code::kIdle);
}

// While it waits a connection asks for nothing else: a second place, a room to create, join
// or watch is out of place. One that crossed its seating changes nothing.
TEST_F(QueueTest, AWaitingConnectionHoldsOnePlaceAndAsksForNothingElse) {
    const Players p = startMatch();
    for (const online::ClientMessage& m : std::vector<online::ClientMessage>{
             say::QuickMatch{}, say::Create{}, say::Join{p.code}, say::Watch{p.code}}) {
        const ConnectionId id = queued();
        tell(id, m);
        EXPECT_EQ(transport.closed[id].code, close_code::kOutOfPlace);
        EXPECT_EQ(lobby().waitingForQuickMatch(), 0U);
    }
    tell(p.red, say::QuickMatch{});
    EXPECT_EQ(transport.closed[p.red].code, close_code::kOutOfPlace);

    const ConnectionId a = queued();
    const ConnectionId b = queued();
    tell(a, say::LeaveQueue{});
    EXPECT_EQ(seatOf(a), Seat::Red);
    EXPECT_FALSE(transport.closed.contains(a));
    tap(a, 38);
    EXPECT_FALSE(takeAll<msg::Input>(b).empty());
}

// The person's limits hold in the queue: each place spends one of their new rooms, and every
// pair's room counts among red's. Someone else still gets a match.
TEST_F(QueueTest, KeepsThePersonsLimits) {
    limits.maxRooms = 20;
    const std::string crowd = "198.51.100.7";  // two tabs, or two people behind one address
    for (std::size_t i = 0; i < limits.roomsPerPerson; ++i) {
        const ConnectionId red = queued(crowd);
        const ConnectionId blue = queued(crowd);
        EXPECT_EQ(seatOf(red), Seat::Red);
        EXPECT_EQ(seatOf(blue), Seat::Blue);
    }
    EXPECT_EQ(lobby().openRooms(), limits.roomsPerPerson);
    const ConnectionId more = queued(crowd);
    EXPECT_EQ(errorOf(more),
              "You have as many rooms open as one player may: leave one, or wait until it closes");
    EXPECT_EQ(lobby().waitingForQuickMatch(), 0U);
    EXPECT_FALSE(transport.closed.contains(more));

    // Waiting and leaving at once, on and on, is creating rooms: a minute's share, then none.
    const std::string churner = "2001:db8:1:2::/64";
    const ConnectionId churn = connectAs(churner);
    for (int i = 0; i < limits.newRoomsPerMinute; ++i) {
        tell(churn, say::QuickMatch{});
        tell(churn, say::LeaveQueue{});
    }
    tell(churn, say::QuickMatch{});
    EXPECT_EQ(errorOf(churn),
              "You opened too many rooms in a short while: wait a minute and try again");
    EXPECT_EQ(lobby().waitingForQuickMatch(), 0U);

    const ConnectionId stranger = queued("203.0.113.9");
    const ConnectionId other = queued("192.0.2.5");
    EXPECT_EQ(seatOf(stranger), Seat::Red);
    EXPECT_EQ(seatOf(other), Seat::Blue);
    EXPECT_EQ(refusals.total(Refusal::RoomQuota), 2U);
}

// A person who opened rooms while waiting, and may hold no more, gives up their place when a
// pair would seat them; whoever waits next plays instead.
TEST_F(QueueTest, OneWhoMayHoldNoMoreRoomsGivesUpTheirPlaceToTheNext) {
    limits.maxRooms = 20;
    const std::string busy = "198.51.100.7";
    const ConnectionId waiting = queued(busy);
    for (std::size_t i = 0; i < limits.roomsPerPerson; ++i) {
        tell(connectAs(busy), say::Create{});
    }
    const ConnectionId next = queued();
    const ConnectionId last = queued();
    EXPECT_EQ(errorOf(waiting),
              "You have as many rooms open as one player may: leave one, or wait until it closes");
    EXPECT_EQ(seatOf(next), Seat::Red);
    EXPECT_EQ(seatOf(last), Seat::Blue);
    EXPECT_EQ(lobby().waitingForQuickMatch(), 0U);
}

// The players, and those who watch, are told how many watch when it changes, at most once a
// second: a spectator who comes and goes at its message rate does not make the room a message
// each time. A player who joins or comes back, and a new spectator, are told at once.
TEST_F(QueueTest, TellsEveryoneInTheRoomHowManyWatch) {
    const ConnectionId host = connect();
    tell(host, say::Create{});
    const std::string code = takeLast<msg::Seated>(host)->code;
    const ConnectionId early = connect();
    tell(early, say::Watch{code});
    EXPECT_EQ(takeLast<msg::Watchers>(host)->count, 1U);
    const ConnectionId friendly = connect();
    tell(friendly, say::Join{code});
    EXPECT_EQ(takeLast<msg::Watchers>(friendly)->count, 1U);

    // Each count a connection heard since it was last asked.
    const auto countsHeard = [&](ConnectionId id) {
        std::vector<std::uint32_t> counts;
        for (const auto& message : take(id)) {
            if (const auto* watchers = std::get_if<msg::Watchers>(&message)) {
                counts.push_back(watchers->count);
            }
        }
        return counts;
    };
    const Players p = startMatch();
    const ConnectionId first = connect();
    tell(first, say::Watch{p.code});
    EXPECT_EQ(takeLast<msg::Watchers>(p.red)->count, 1U);
    EXPECT_EQ(countsHeard(first), std::vector<std::uint32_t>{1});  // once, with the room
    const ConnectionId second = connect();
    tell(second, say::Watch{p.code});
    EXPECT_EQ(countsHeard(second), std::vector<std::uint32_t>{2});  // on its own
    EXPECT_FALSE(takeLast<msg::Watchers>(p.red));                   // the rest of the second first
    runFor(1s);
    for (const ConnectionId id : {p.red, p.blue, first, second}) {
        EXPECT_EQ(takeLast<msg::Watchers>(id)->count, 2U);
    }

    // A spectator who comes and goes a hundred times within a second costs the room nothing.
    for (int churn = 0; churn < 100; ++churn) {
        const ConnectionId passing = connect();
        tell(passing, say::Watch{p.code});
        tell(passing, say::Leave{});
    }
    runFor(1s);
    EXPECT_FALSE(takeLast<msg::Watchers>(p.blue));

    tell(first, say::Leave{});
    EXPECT_EQ(takeLast<msg::Watchers>(p.blue)->count, 1U);
    EXPECT_FALSE(takeLast<msg::Watchers>(first));
    lobby().disconnected(p.red, now);
    EXPECT_FALSE(takeLast<msg::Watchers>(p.blue));  // a player away is no watcher gone
    const ConnectionId back = connect();
    tell(back, say::Rejoin{p.code, p.redToken});
    EXPECT_EQ(takeLast<msg::Watchers>(back)->count, 1U);
    runFor(1s);
    lobby().disconnected(second, now);
    EXPECT_EQ(takeLast<msg::Watchers>(p.blue)->count, 0U);
}

}  // namespace
}  // namespace voltaro::server::test
