#include "server/net/outgoing_queue.h"

#include <utility>

namespace voltaro::server {

bool OutgoingQueue::push(std::string text, Duration stamp) {
    if (bytes_ + text.size() > kMaxBytes) {
        return false;
    }
    bytes_ += text.size();
    messages_.push_back({std::move(text), stamp});
    return true;
}

void OutgoingQueue::clear() {
    messages_.clear();
    bytes_ = 0;
}

OutgoingQueue::Message OutgoingQueue::pop() {
    Message front = std::move(messages_.front());
    messages_.pop_front();
    bytes_ -= front.text.size();
    return front;
}

}  // namespace voltaro::server
