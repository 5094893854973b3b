#include "server/net/match_server.h"

#include <sys/resource.h>

#include <algorithm>
#include <boost/asio/ip/address.hpp>
#include <boost/asio/ip/v6_only.hpp>
#include <boost/asio/post.hpp>
#include <csignal>
#include <cstdio>
#include <memory>
#include <stdexcept>

#include "server/core/metrics_text.h"
#include "server/core/person_key.h"
#include "server/core/room_code.h"

namespace voltaro::server {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;

namespace {

// How long the connections get to hear their close after SIGTERM before the server stops anyway.
constexpr Duration kShutdownGrace = std::chrono::seconds(5);

// Every connection takes a descriptor: the server holds no more connections than it may open
// descriptors, less a margin for its own (the listening socket, records, timers), so that
// accepting never fails for want of one.
std::size_t connectionCap() {
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur == RLIM_INFINITY) {
        return 1u << 20;
    }
    const rlim_t margin = std::max<rlim_t>(32, files.rlim_cur / 8);
    return files.rlim_cur > 2 * margin ? static_cast<std::size_t>(files.rlim_cur - margin)
                                       : static_cast<std::size_t>(files.rlim_cur / 2);
}

// Accepting fails for want of memory or descriptors (then waiting a moment helps), or because
// one peer's connection went wrong before it was taken (then the next one is fine).
bool isShortage(boost::system::error_code error) {
    return error == asio::error::no_descriptors || error == asio::error::no_buffer_space ||
           error == asio::error::no_memory ||
           error == boost::system::error_code(ENFILE, boost::system::system_category());
}

LobbyLimits lobbyLimits(const ServerOptions& options) {
    LobbyLimits limits;
    limits.codePrefix = options.codePrefix;
    limits.joinWithoutCode = options.joinWithoutCode;
    return limits;
}

std::unique_ptr<RecordWriter> recordWriter(const ServerOptions& options) {
    if (options.records.empty()) {
        return nullptr;
    }
    RecordLimits limits;
    limits.maxFolderBytes = options.recordsMaxBytes;
    return std::make_unique<RecordWriter>(options.records, limits);
}

}  // namespace

MatchServer::MatchServer(const ServerOptions& options, SecretSource* random)
    : options_(options),
      records_(recordWriter(options)),
      proxies_(options.trustedProxies),
      newConnections_(options.maxNewPerSecond),
      addresses_(options.maxPerAddress, connectionCap()),
      hub_(io_, stats_),
      random_(random ? *random : systemRandom_),
      lobby_(hub_, lobbyLimits(options), records_.get(), random_, &refusals_),
      site_(options.site),
      replays_(options.records, normalisedRoomCode(options.codePrefix)),
      origins_(options.origins, options.names),
      context_{options, site_,     replays_, origins_,       hub_,
               stats_,  refusals_, proxies_, newConnections_},
      acceptor_(io_),
      signals_(io_),
      retryOrQuit_(io_) {
    hub_.attach(lobby_);
    if (options.ownSignals) {
        signals_.add(SIGTERM);
        signals_.add(SIGINT);
        signals_.add(SIGUSR1);
    }
    const tcp::endpoint endpoint(asio::ip::make_address(options.address), options.port);
    acceptor_.open(endpoint.protocol());
    acceptor_.set_option(asio::socket_base::reuse_address(true));
    if (endpoint.address().is_v6()) {
        acceptor_.set_option(asio::ip::v6_only(!options.ipv4Too));
    }
    acceptor_.bind(endpoint);
    acceptor_.listen(asio::socket_base::max_listen_connections);
    if (!options.metricsAddress.empty()) {
        listenForMetrics();
    }
}

void MatchServer::listenForMetrics() {
    const tcp::endpoint at(asio::ip::make_address(options_.metricsAddress), options_.metricsPort);
    try {
        metrics_.emplace(io_, at, options_.timeout, [this] { return metricsText(); });
    } catch (const boost::system::system_error& error) {
        throw std::runtime_error("cannot listen on " + options_.metricsAddress + ":" +
                                 std::to_string(options_.metricsPort) +
                                 " for --metrics: " + error.code().message());
    }
}

std::optional<tcp::endpoint> MatchServer::metricsEndpoint() const {
    if (!metrics_) {
        return std::nullopt;
    }
    return metrics_->endpoint();
}

std::string MatchServer::metricsText() const {
    return server::metricsText({.stats = stats_,
                                .refusals = refusals_,
                                .connections = hub_.openConnections(),
                                .rooms = lobby_.openRooms(),
                                .matches = lobby_.openMatches()});
}

void MatchServer::run() {
    acceptNext();
    if (metrics_) {
        metrics_->start();
    }
    if (options_.ownSignals) {
        waitForSignal();
    }
    io_.run();
    noteRecords();
    if (!options_.stats.empty() &&
        !stats_.write(options_.stats, hub_.now(), lobby_.openRooms(), lobby_.openMatches())) {
        std::fprintf(stderr, "voltaro-server: cannot write %s\n", options_.stats.c_str());
    }
}

// The records of the matches that ended with the server are on disk before it reports.
void MatchServer::noteRecords() {
    if (!records_) {
        return;
    }
    records_->waitUntilIdle();
    const RecordWriter::Counts counts = records_->counts();
    stats_.recordsDropped = counts.dropped + counts.failed;
    stats_.recordsCutOff = counts.cutOff;
}

void MatchServer::stop() {
    asio::post(io_, [this] {
        if (!hub_.shuttingDown()) {
            beginShutdown();
        }
    });
}

void MatchServer::acceptNext() {
    acceptor_.async_accept([this](boost::system::error_code error, tcp::socket socket) {
        accepted(error, std::move(socket));
    });
}

void MatchServer::accepted(boost::system::error_code error, tcp::socket socket) {
    if (error == asio::error::operation_aborted || hub_.shuttingDown()) {
        return;
    }
    if (error) {
        if (isShortage(error)) {
            acceptLater();
        } else {
            acceptNext();
        }
        return;
    }
    boost::system::error_code peerError;
    const auto peer = socket.remote_endpoint(peerError);
    const std::string address = peerError ? std::string() : peer.address().to_string();
    const bool fromProxy = !peerError && proxies_.trusts(address);
    const auto refusal = peerError ? std::optional(Refusal::Malformed) : admit(address, fromProxy);
    if (refusal) {
        // Closed at once, before a byte is read: a refusal costs the server next to nothing.
        ++stats_.connectionsRefused;
        refusals_.count(*refusal, address, hub_.now());
        socket.close(peerError);
    } else {
        // Messages are small and due now: none waits to be merged with the next.
        socket.set_option(tcp::no_delay(true), peerError);
        std::make_shared<HttpSession>(std::move(socket), AddressSlot(addresses_, address),
                                      fromProxy, context_)
            ->start();
    }
    acceptNext();
}

// A trusted proxy's connections are counted in all, and its clients' limits applied once their
// requests name them; anyone else's are held to their limits here.
std::optional<Refusal> MatchServer::admit(const std::string& address, bool fromProxy) {
    const std::string person = personKey(address);
    if (!fromProxy && !newConnections_.take(person, hub_.now())) {
        return Refusal::ConnectionRate;
    }
    switch (addresses_.add(person, !fromProxy)) {
        case AddressCounter::Added::Yes:
            return std::nullopt;
        case AddressCounter::Added::PersonFull:
            return Refusal::PerAddress;
        case AddressCounter::Added::ServerFull:
            return Refusal::ConnectionCap;
    }
    return Refusal::ConnectionCap;
}

// Out of descriptors or memory: try again shortly rather than spin.
void MatchServer::acceptLater() {
    retryOrQuit_.expires_after(std::chrono::milliseconds(100));
    retryOrQuit_.async_wait([this](boost::system::error_code waited) {
        if (!waited) {
            acceptNext();
        }
    });
}

void MatchServer::waitForSignal() {
    signals_.async_wait([this](boost::system::error_code error, int signal) {
        if (error) {
            return;
        }
        if (signal == SIGUSR1) {
            stats_.restart(hub_.now());
            waitForSignal();
            return;
        }
        beginShutdown();
    });
}

void MatchServer::beginShutdown() {
    boost::system::error_code ignored;
    acceptor_.close(ignored);
    if (metrics_) {
        metrics_->stop();
    }
    signals_.cancel(ignored);
    hub_.shutdown();
    shutdownStarted_ = hub_.now();
    awaitQuiet();
}

// Stops the io_context once every match connection has closed, or when the grace time is over:
// idle HTTP connections and peers that never answer a close are not waited for.
void MatchServer::awaitQuiet() {
    if (hub_.openConnections() == 0 || hub_.now() - shutdownStarted_ > kShutdownGrace) {
        io_.stop();
        return;
    }
    retryOrQuit_.expires_after(std::chrono::milliseconds(20));
    retryOrQuit_.async_wait([this](boost::system::error_code error) {
        if (!error) {
            awaitQuiet();
        }
    });
}

}  // namespace voltaro::server
