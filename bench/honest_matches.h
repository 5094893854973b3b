#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "client/server_clock.h"
#include "online/protocol.h"
#include "server/core/latency_histogram.h"
#include "ws_client.h"

namespace voltaro::bench {

// One player of the load: keys pressed and released at a human's pace, each stamped with the
// tick its clock (kept by pings, as the real clients do) says; boxes answered and a new match
// asked for after a human's pause. The arrival of every batch's final tick is kept against its
// tick.
struct HonestPlayer {
    std::shared_ptr<server::testing::WsClient> socket;
    online::Seat seat = online::Seat::Red;
    bool playing = false;
    std::int16_t held = 0;
    server::testing::Clock::time_point nextAction{};
    std::optional<online::ClientMessage> pending;  // sent at nextAction
    client::ServerClock clock;
    std::deque<server::testing::Clock::time_point> pings;  // their pongs come back in order
    server::testing::Clock::time_point nextPing = server::testing::Clock::time_point::max();
    std::int64_t startUs = 0;
    std::uint32_t seq = 0;
    // Per match: arrival minus tick * period; its least value is the match's tick origin as
    // seen from here, so that the rest measure how much later than the best a final tick came.
    std::vector<std::vector<std::int64_t>> offsets;
    std::uint64_t finals = 0;
    std::uint64_t inputs = 0;  // of both players, as the server passed them on
    std::uint64_t gaps = 0;    // final ticks that did not come every kFinalEveryTicks
    std::uint32_t lastFinal = 0;
    std::string code;  // of the room it plays in
    // The socket's counts when the figures started.
    std::uint64_t bytesBefore = 0, bytesSentBefore = 0;
};

// What the honest players saw, over every match they played.
struct HonestFigures {
    server::LatencyHistogram delivery;  // a batch's arrival against the best of its match
    std::uint64_t finals = 0;
    std::uint64_t inputs = 0;
    // Ticks missed: a final tick that came more than kFinalEveryTicks after the one before.
    std::uint64_t ticksMissed = 0;
    std::uint64_t bytes = 0;      // the server sent the players
    std::uint64_t bytesSent = 0;  // the players sent the server
};

// N matches of two players each against the server on loopback, all on one io_context.
class HonestMatches {
  public:
    // `spread`: each match from an address of its own (127.1.x.y), so that limits per address
    // see one person per match, as on the internet; otherwise every player is 127.0.0.1.
    HonestMatches(int matches, const boost::asio::ip::tcp::endpoint& server, bool spread);

    boost::asio::io_context& io() { return io_; }
    // Opens every match; false when they have not all started within `limit`. (Not all are in
    // play at any one time: a match ends at its goal, and the players take a moment to answer
    // the boxes and ask for the next.)
    bool open(std::chrono::seconds limit);
    // Plays for `length` (reading all the while), calling `every` each second; then stops
    // pressing keys.
    void play(std::chrono::seconds length, const std::function<void()>& every = {});
    // The figures from now on: what happened while the matches opened is left out.
    void startFigures();
    HonestFigures measure() const;
    int playing() const;
    int started() const;  // players connected that have had a match
    int connected() const;
    // The codes of the rooms in play.
    std::vector<std::string> codes() const;

  private:
    void connect(std::size_t index, const std::string& target);
    void onMessage(std::size_t index, std::string_view text, server::testing::Clock::time_point at);
    void act();
    void stamped(HonestPlayer& player, bool down);
    void ping(HonestPlayer& player, server::testing::Clock::time_point now);
    std::optional<boost::asio::ip::address> addressOf(std::size_t index) const;
    std::function<bool()> startedAtLeast(int players) const;

    int matches_;
    boost::asio::ip::tcp::endpoint server_;
    bool spread_;
    boost::asio::io_context io_;
    std::vector<HonestPlayer> players_;
    boost::asio::steady_timer timer_;
    std::mt19937 random_{12345};
    bool acting_ = true;
};

}  // namespace voltaro::bench
