#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "client/predicted_match.h"
#include "client/server_clock.h"
#include "online/protocol.h"
#include "online/tick_match.h"

namespace voltaro::server::testing {

// A test player's two copies of the match, both run from the server's messages and the
// player's own inputs: the predicted match the real clients show (with this player's own inputs
// at once), and a plain TickMatch that plays only what the server made final (an own input that
// a final tick says was dealt with, and that came neither back nor refused, at its stamp ahead
// of the others of its tick), so that the test can hold each final tick's scene against the
// server's digest and its record.
class FollowedMatch {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;

    // What this player computed for one of the server's final ticks.
    struct FinalSeen {
        std::uint32_t match = 0;
        std::uint32_t tick = 0;
        online::Scene scene;
        bool digestAgreed = false;      // the plain copy's digest is the server's
        bool predictionAgreed = false;  // and so is the predicted match's
    };

    void seated(online::Seat seat) { seat_ = seat; }
    // A message from the server, as it arrived.
    void take(const online::ServerMessage& message, TimePoint at);
    // A Ping is going out now; its Pong comes back in order.
    void pinging(TimePoint at) { pings_.push_back(at); }

    bool started() const { return started_; }
    std::uint32_t match() const { return match_; }
    bool clockKnown() const { return clock_.known(); }
    // The tick the server is at now, by the clock the pings keep (0 before the match).
    std::uint32_t presentTick(TimePoint now) const;

    // This player's own input, stamped with the present tick and given the next seq: applied to
    // the predicted match at once, and returned to be sent.
    online::Input own(online::Input::Kind kind, std::int16_t key, TimePoint now);

    // The predicted scene at the present tick, as the screen would show it.
    online::Scene shown(TimePoint now);
    const client::PredictedMatch& predicted() const { return predicted_; }

    const std::vector<FinalSeen>& finals() const { return finals_; }
    // Some final ticks came, and both copies agreed with the server's digest at every one.
    bool everyFinalAgreed() const;
    // Something the server sent that no correct server sends (an input for a final tick,
    // a state that is no snapshot); empty when there was none.
    const std::vector<std::string>& faults() const { return faults_; }

  private:
    void start(const online::server::MatchStarted& started, TimePoint at);
    void input(const online::Input& input);
    void finalTick(const online::server::Final& final);
    void dropOwn(std::uint32_t seq);
    void settleOwn(std::uint32_t seq);

    online::Seat seat_ = online::Seat::Spectator;
    bool started_ = false;
    std::uint32_t match_ = 0;
    std::int64_t startUs_ = 0;
    std::uint32_t seq_ = 0;
    client::ServerClock clock_;
    std::deque<TimePoint> pings_;
    client::PredictedMatch predicted_;
    std::optional<online::TickMatch> plain_;
    // The open ticks: those after the final one, and tick 0 itself until the first final tick.
    std::map<std::uint32_t, std::vector<online::Input>> pending_;
    bool startOpen_ = false;
    std::vector<online::Input> own_;  // sent, not dealt with yet
    std::vector<FinalSeen> finals_;
    std::vector<std::string> faults_;
};

}  // namespace voltaro::server::testing
