#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "online/protocol.h"
#include "online/tick_match.h"

namespace voltaro::bench {

// The judge of one match as the match server is, without sockets or clocks: a player's input
// acts at the tick its stamp names within the window, in the order inputs arrive; every
// kFinalEveryTicks ticks the ticks the window has passed become final. What it would send goes
// to `broadcast`, for every member of the room but `skip`: an input goes back to its sender only
// when it acts elsewhere than the sender played it.
class SimulatedServer {
  public:
    using Broadcast =
        std::function<void(const online::ServerMessage&, std::optional<online::Seat> skip)>;

    explicit SimulatedServer(Broadcast broadcast);

    // The match as it stands at tick 0, encoded for MatchStarted.
    online::server::MatchStarted started() const;
    // A player's input, stamped by its sender, arriving when the server is at tick `present`.
    void receive(online::Input input, std::uint32_t present);
    // The server's clock reached tick `present`: every final tick due by then, with its message.
    void reach(std::uint32_t present);

    bool ended() const { return final_.ended(); }
    std::uint32_t finalTick() const { return final_.tick(); }

  private:
    Broadcast broadcast_;
    online::TickMatch final_;
    std::map<std::uint32_t, std::vector<online::Input>> open_;  // inputs of the ticks after final
    std::uint32_t lastSeq_[2] = {0, 0};                         // red's, blue's
    std::uint32_t lastFinalAt_ = 0;
};

}  // namespace voltaro::bench
