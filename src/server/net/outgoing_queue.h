#pragma once

#include <cstddef>
#include <deque>
#include <string>

#include "server/core/transport.h"

namespace voltaro::server {

// The messages waiting to be written to one connection, kept in order: every input and final
// tick of a match matters, so none replaces another. A reader that falls behind costs at most
// kMaxBytes of unread messages; past that its connection should be closed.
class OutgoingQueue {
  public:
    struct Message {
        std::string text;
        Duration stamp;  // when the match made it: the start of its delivery time
    };

    // What the reader may leave unread before it counts as stuck.
    static constexpr std::size_t kMaxBytes = 256 * 1024;

    // False, and nothing queued, when the reader has left more than kMaxBytes unread.
    bool push(std::string text, Duration stamp);
    void clear();
    bool empty() const { return messages_.empty(); }
    std::size_t size() const { return messages_.size(); }
    Message pop();

  private:
    std::deque<Message> messages_;
    std::size_t bytes_ = 0;
};

}  // namespace voltaro::server
