#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "server/core/lobby.h"
#include "server/core/server_stats.h"
#include "server/core/transport.h"

namespace voltaro::server {

// One open match connection as the hub sees it (the WebSocket session behind it).
class HubConnection {
  public:
    virtual void push(std::string message, Duration stamp) = 0;
    // Writes what is queued, then closes with `code` and `reason`.
    virtual void closeWith(std::uint16_t code, std::string reason) = 0;

  protected:
    ~HubConnection() = default;
};

// Where the connections meet the Lobby, on the one thread that runs the io_context: it hands the
// Lobby what the connections received, carries the Lobby's messages and closes back to them, and
// wakes the Lobby on its steady timer whenever a tick, repeat or wait is due.
class ConnectionHub final : public Transport {
  public:
    ConnectionHub(boost::asio::io_context& io, ServerStats& stats);
    ConnectionHub(const ConnectionHub&) = delete;
    ConnectionHub& operator=(const ConnectionHub&) = delete;

    void attach(Lobby& lobby) { lobby_ = &lobby; }

    // Time since the server started, on the steady clock: the Lobby's clock.
    Duration now() const;

    // From the connections.
    // `nearby`: the peer is on this machine or a private network; `person`: the key its
    // limits count under.
    ConnectionId opened(std::shared_ptr<HubConnection> connection, bool nearby, std::string person);
    void received(ConnectionId id, std::string_view message);
    // The peer went away, or broke a rule of the transport and was closed for it: the Lobby is
    // told, unless the Lobby itself had closed the connection.
    void lost(ConnectionId id);
    // The connection is gone for good; no more calls about it.
    void ended(ConnectionId id);

    // Transport: what the Lobby asks of the connections.
    void send(ConnectionId to, std::string message) override;
    void close(ConnectionId to, std::uint16_t code, std::string reason) override;

    // SIGTERM: the Lobby tells its matches, then every connection is closed as going away.
    void shutdown();
    bool shuttingDown() const { return shuttingDown_; }
    std::size_t openConnections() const { return connections_.size(); }

  private:
    struct Entry {
        std::shared_ptr<HubConnection> connection;
        bool lobbyDone = false;  // closed by the Lobby, or the Lobby told of its loss
    };

    void rearm();
    void wakeUp();
    void wakeUpIfDue();

    boost::asio::io_context& io_;
    ServerStats& stats_;
    Lobby* lobby_ = nullptr;
    const std::chrono::steady_clock::time_point start_;
    boost::asio::steady_timer timer_;
    Duration armedFor_ = Duration::max();  // when the timer fires, while it is set
    Duration stamp_{0};                    // when the work that is sending messages now was due
    std::unordered_map<ConnectionId, Entry> connections_;
    ConnectionId nextId_ = 1;
    bool shuttingDown_ = false;
};

}  // namespace voltaro::server
