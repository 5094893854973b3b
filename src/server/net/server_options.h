#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <variant>
#include <vector>

namespace voltaro::server {

// Everything the command line of voltaro-server sets, and what a game hosting the server for a
// home network (voltaro --host) sets besides.
struct ServerOptions {
    std::string address = "127.0.0.1";
    bool ipv4Too = false;  // an IPv6 address (::) takes IPv4 connections too, as mapped addresses
    bool joinWithoutCode = false;  // a join without a code takes the one room waiting for a friend
    std::uint16_t port = 8000;     // 0: any free port, announced at start-up
    std::filesystem::path site;
    std::filesystem::path records;  // empty: matches are not recorded
    // What the records in that folder may take together; the oldest go to make room.
    std::uint64_t recordsMaxBytes = std::uint64_t{1} << 30;
    std::vector<std::string> origins;
    std::string codePrefix;
    // How long a connection may keep the server waiting: for the headers of an HTTP request, for
    // any sign of life from a WebSocket peer that was pinged.
    std::chrono::milliseconds timeout = std::chrono::seconds(20);
    // Open connections from one person; 0: no limit. A browser opens up to six for the page's
    // files beside its match, and one address may be a household or a school behind one router.
    std::size_t maxPerAddress = 64;
    std::size_t maxNewPerSecond = 20;  // new connections a second from one person; 0: no limit
    // Peers (ADDR or ADDR/BITS) whose X-Forwarded-For names the client: the reverse proxies in
    // front. The client's address, not theirs, is what every per-person limit counts.
    std::vector<std::string> trustedProxies = {"127.0.0.0/8", "::1"};
    // Host names the server answers to besides IP literals and localhost (the hosts of
    // `origins` too): a page reached through a name nobody gave is another site's.
    std::vector<std::string> names;
    std::size_t maxMessagesPerSecond = 50;
    std::filesystem::path stats;  // empty: no figures written at exit
    // The operator's figures (Prometheus's text format) on a port of their own; an empty
    // address: not served.
    std::string metricsAddress;
    std::uint16_t metricsPort = 0;
    // The server's own process ends on SIGTERM and SIGINT; a server run inside the desktop game
    // (voltaro --host) leaves the signals to the game and is stopped with MatchServer::stop().
    bool ownSignals = true;
};

// What the program does when the command line leaves it nothing to serve: print `text` (to
// standard output for status 0, to standard error otherwise) and exit with `status`.
struct EarlyExit {
    int status;
    std::string text;
};

// Reads the arguments after the program's name; `defaultSite` is the site folder when --site is
// not given.
std::variant<ServerOptions, EarlyExit> readServerOptions(const std::vector<std::string>& args,
                                                         const std::filesystem::path& defaultSite);

}  // namespace voltaro::server
