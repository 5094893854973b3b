#include "server/net/connection_hub.h"

#include <utility>

#include "online/protocol.h"

namespace voltaro::server {

ConnectionHub::ConnectionHub(boost::asio::io_context& io, ServerStats& stats)
    : io_(io), stats_(stats), start_(std::chrono::steady_clock::now()), timer_(io) {}

Duration ConnectionHub::now() const {
    return std::chrono::duration_cast<Duration>(std::chrono::steady_clock::now() - start_);
}

ConnectionId ConnectionHub::opened(std::shared_ptr<HubConnection> connection, bool nearby,
                                   std::string person) {
    const ConnectionId id = nextId_++;
    connections_.emplace(id, Entry{std::move(connection)});
    ++stats_.connectionsOpened;
    if (shuttingDown_) {
        close(id, online::close_code::kGoingAway, "The server is shutting down");
        return id;
    }
    stamp_ = now();
    lobby_->connected(id, stamp_, nearby, std::move(person));
    rearm();
    return id;
}

void ConnectionHub::received(ConnectionId id, std::string_view message) {
    const auto found = connections_.find(id);
    if (found == connections_.end() || found->second.lobbyDone || shuttingDown_) {
        return;
    }
    ++stats_.messagesReceived;
    stamp_ = now();
    lobby_->received(id, message, stamp_);
    rearm();
    wakeUpIfDue();
}

// Thousands of players' messages can come in one burst, each read its own handler, and the
// timer's handler waits behind them all: a wake-up that fell due meanwhile runs between two
// messages instead, and the ticks of every match keep their time. (The timer then finds
// nothing due, and is set for the next wake-up.)
void ConnectionHub::wakeUpIfDue() {
    if (!shuttingDown_ && lobby_->nextWakeUp() <= stamp_) {
        wakeUp();
    }
}

void ConnectionHub::lost(ConnectionId id) {
    const auto found = connections_.find(id);
    if (found == connections_.end() || found->second.lobbyDone || shuttingDown_) {
        return;
    }
    found->second.lobbyDone = true;  // told once
    stamp_ = now();
    lobby_->disconnected(id, stamp_);
    rearm();
}

void ConnectionHub::ended(ConnectionId id) {
    connections_.erase(id);
}

void ConnectionHub::send(ConnectionId to, std::string message) {
    const auto found = connections_.find(to);
    if (found != connections_.end() && !found->second.lobbyDone) {
        found->second.connection->push(std::move(message), stamp_);
    }
}

void ConnectionHub::close(ConnectionId to, std::uint16_t code, std::string reason) {
    const auto found = connections_.find(to);
    if (found != connections_.end() && !found->second.lobbyDone) {
        found->second.lobbyDone = true;
        found->second.connection->closeWith(code, std::move(reason));
    }
}

void ConnectionHub::shutdown() {
    if (shuttingDown_) {
        return;
    }
    stamp_ = now();
    lobby_->shutdown(stamp_);
    shuttingDown_ = true;
    timer_.cancel();
    for (auto& [id, entry] : connections_) {
        if (!entry.lobbyDone) {
            entry.lobbyDone = true;
            entry.connection->closeWith(online::close_code::kGoingAway,
                                        "The server is shutting down");
        }
    }
}

// Keeps the timer set for the Lobby's next wake-up. It is only ever moved earlier here: firing
// early costs one empty advance, and re-arming after every message would cost more.
void ConnectionHub::rearm() {
    const Duration next = lobby_->nextWakeUp();
    if (shuttingDown_ || next == Duration::max() || next >= armedFor_) {
        return;
    }
    armedFor_ = next;
    timer_.expires_at(start_ + next);
    timer_.async_wait([this](const boost::system::error_code& error) {
        if (!error) {
            armedFor_ = Duration::max();
            wakeUp();
        }
    });
}

// Runs whatever is due; the lateness is the soonest due's. Nothing is due when the timer was set
// earlier than needed, or a wake-up between two messages ran it already.
void ConnectionHub::wakeUp() {
    const Duration due = lobby_->nextWakeUp();
    const Duration woke = now();
    if (due > woke) {
        rearm();
        return;
    }
    stats_.tickLateness.add(woke - due);
    stamp_ = due;
    lobby_->advance(woke);
    rearm();
}

}  // namespace voltaro::server
