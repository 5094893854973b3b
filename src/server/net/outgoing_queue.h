#pragma once

#include <cstddef>
#include <deque>
#include <string>

#include "server/core/transport.h"

namespace voltaro::server {

// The messages waiting to be written to one connection. Controls are kept, in order; a State
// replaces the State still waiting, and goes to the back so that the order the match sent them
// in holds. So a reader that falls behind costs at most one state and its unread controls.
class OutgoingQueue {
  public:
    struct Message {
        Transport::Kind kind;
        std::string text;
        Duration stamp;  // when the match made it: the start of its delivery time
    };

    // Controls the reader may leave unread before it counts as stuck.
    static constexpr std::size_t kMaxControlBytes = 256 * 1024;

    enum class Pushed { Queued, ReplacedState, Overflow };
    // Overflow when the reader has left more than kMaxControlBytes of controls unread: its
    // connection should be closed rather than the queue grow.
    Pushed push(Transport::Kind kind, std::string text, Duration stamp);
    void clear();
    bool empty() const { return messages_.empty(); }
    std::size_t size() const { return messages_.size(); }
    Message pop();

  private:
    std::deque<Message> messages_;
    std::size_t controlBytes_ = 0;
    bool holdsState_ = false;
};

}  // namespace voltaro::server
