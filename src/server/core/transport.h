#pragma once

#include <cstdint>
#include <string>

#include "server/core/duration.h"

namespace voltaro::server {

using ConnectionId = std::uint64_t;

// What the match core asks of the network layer. Every call is made on the thread that called
// into the Lobby, from inside one of its member functions; an implementation queues what it is
// asked and does not call back into the Lobby from inside a call.
class Transport {
  public:
    // A WebSocket text frame. Messages are all delivered, in order: none stands for another (a
    // match's inputs and final ticks each matter), and a reader that leaves too many unread is
    // closed rather than left behind.
    virtual void send(ConnectionId to, std::string message) = 0;
    // Closes the connection with a WebSocket close code (RFC 6455, 1000-4999) and a reason
    // (at most 123 bytes). Lobby::disconnected is NOT called for a close the Lobby asked for.
    virtual void close(ConnectionId to, std::uint16_t code, std::string reason) = 0;

  protected:
    ~Transport() = default;
};

}  // namespace voltaro::server
