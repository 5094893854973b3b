#include "server/net/outgoing_queue.h"

#include <algorithm>
#include <utility>

namespace voltaro::server {

OutgoingQueue::Pushed OutgoingQueue::push(Transport::Kind kind, std::string text, Duration stamp) {
    Pushed pushed = Pushed::Queued;
    if (kind == Transport::Kind::State) {
        if (holdsState_) {
            messages_.erase(std::find_if(messages_.begin(), messages_.end(), [](const Message& m) {
                return m.kind == Transport::Kind::State;
            }));
            pushed = Pushed::ReplacedState;
        }
        holdsState_ = true;
    } else {
        if (controlBytes_ + text.size() > kMaxControlBytes) {
            return Pushed::Overflow;
        }
        controlBytes_ += text.size();
    }
    messages_.push_back({kind, std::move(text), stamp});
    return pushed;
}

void OutgoingQueue::clear() {
    messages_.clear();
    controlBytes_ = 0;
    holdsState_ = false;
}

OutgoingQueue::Message OutgoingQueue::pop() {
    Message front = std::move(messages_.front());
    messages_.pop_front();
    if (front.kind == Transport::Kind::State) {
        holdsState_ = false;
    } else {
        controlBytes_ -= front.text.size();
    }
    return front;
}

}  // namespace voltaro::server
