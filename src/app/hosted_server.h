#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <thread>

#include "server/match_server.h"
#include "server/server_options.h"

namespace voltaro {

// voltaro --host: the match server, the same code as voltaro-server, run on a thread of the game
// so that a friend on the same network can join with nothing but a browser. It listens on every
// address of this machine and serves the page from `site`.
class HostedServer {
  public:
    // Listens on `port`, or on any free port when that one is taken; throws
    // boost::system::system_error when it cannot listen at all.
    HostedServer(std::uint16_t port, std::filesystem::path site);
    ~HostedServer();  // ends every match as a server's SIGTERM does, and waits for the thread
    HostedServer(const HostedServer&) = delete;
    HostedServer& operator=(const HostedServer&) = delete;

    std::uint16_t port() const { return port_; }
    bool onIpv6() const { return server_->endpoint().address().is_v6(); }

  private:
    server::ServerOptions options_;
    std::unique_ptr<server::MatchServer> server_;
    std::uint16_t port_ = 0;
    std::thread thread_;
};

// Where the page lies for a server run by the game: `given` if set, else the site installed
// beside the game, else a web build next to the game's own build folder.
std::filesystem::path hostedSite(const std::filesystem::path& given);

}  // namespace voltaro
