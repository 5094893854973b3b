#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "server/net/match_server.h"
#include "server/net/server_options.h"

namespace voltaro {

// Where the hosted server listens and where its codes come from; tests keep it on loopback and
// hand it a random source that fails.
struct HostedListening {
    std::vector<std::string> addresses{"::", "0.0.0.0"};  // the first that can be had
    server::SecretSource* random = nullptr;               // the system's when none
};

// voltaro --host: the match server, the same code as voltaro-server, run on a thread of the game
// so that a friend on the same network can join with nothing but a browser. It listens on every
// address of this machine and serves the page from `site`.
class HostedServer {
  public:
    // Listens on `port`, or on any free port when that one is taken; throws
    // boost::system::system_error when it cannot listen at all.
    HostedServer(std::uint16_t port, std::filesystem::path site, HostedListening listening = {});
    ~HostedServer();  // ends every match as a server's SIGTERM does, and waits for the thread
    HostedServer(const HostedServer&) = delete;
    HostedServer& operator=(const HostedServer&) = delete;

    // Both are fixed before the server's thread starts, so any thread may ask.
    std::uint16_t port() const { return port_; }
    bool onIpv6() const { return onIpv6_; }
    // Why the server stopped on its own, when an error escaped its thread; none while it serves.
    std::optional<std::string> failure() const;

  private:
    void listen(std::uint16_t port, const std::vector<std::string>& addresses,
                server::SecretSource* random);
    void serve();
    void failed(const char* reason);

    server::ServerOptions options_;
    std::unique_ptr<server::MatchServer> server_;
    std::uint16_t port_ = 0;
    bool onIpv6_ = false;
    mutable std::mutex failureMutex_;
    std::optional<std::string> failure_;
    std::thread thread_;
};

// Where the page lies for a server run by the game: `given` if set, else the site installed
// beside the game, else a web build next to the game's own build folder.
std::filesystem::path hostedSite(const std::filesystem::path& given);

}  // namespace voltaro
