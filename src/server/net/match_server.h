#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <memory>
#include <optional>
#include <string>

#include "server/core/lobby.h"
#include "server/core/random_source.h"
#include "server/core/record_writer.h"
#include "server/core/refusals.h"
#include "server/core/server_stats.h"
#include "server/net/address_counter.h"
#include "server/net/connection_hub.h"
#include "server/net/connection_rate.h"
#include "server/net/http_session.h"
#include "server/net/metrics_listener.h"
#include "server/net/origin_policy.h"
#include "server/net/replay_folder.h"
#include "server/net/server_options.h"
#include "server/net/site_folder.h"
#include "server/net/trusted_proxies.h"

namespace voltaro::server {

// The whole server on one thread: the listening socket, every connection, the Lobby and its
// clock, and the operator's port of --metrics, all run by one io_context; SIGTERM and SIGINT end
// it cleanly, SIGUSR1 starts the figures of --stats (and the counters of --metrics) afresh.
class MatchServer {
  public:
    // Binds the listening socket; throws boost::system::system_error when it cannot, and
    // std::runtime_error when the port of --metrics cannot be had. Room codes and seat tokens
    // come from `random`, the system's cryptographic source unless given.
    explicit MatchServer(const ServerOptions& options, SecretSource* random = nullptr);

    boost::asio::ip::tcp::endpoint endpoint() const { return acceptor_.local_endpoint(); }
    // Where --metrics serves, when it was given.
    std::optional<boost::asio::ip::tcp::endpoint> metricsEndpoint() const;

    // Serves until a signal ends the server; writes the figures if asked to.
    void run();
    const Refusals& refusals() const { return refusals_; }
    // None without --records.
    const RecordWriter* records() const { return records_.get(); }
    // Ends the server as SIGTERM does; callable from any thread.
    void stop();

  private:
    void acceptNext();
    void accepted(boost::system::error_code error, boost::asio::ip::tcp::socket socket);
    void acceptLater();
    // Counts the new connection of `address`; the refusal when it may not have one.
    std::optional<Refusal> admit(const std::string& address, bool fromProxy);
    void waitForSignal();
    void beginShutdown();
    void awaitQuiet();
    void listenForMetrics();
    std::string metricsText() const;
    void noteRecords();

    const ServerOptions& options_;
    // Declared before the io_context, which may still hold connections when it is destroyed.
    ServerStats stats_;
    // Before the lobby: the records of its matches are written until the end.
    std::unique_ptr<RecordWriter> records_;
    Refusals refusals_;
    TrustedProxies proxies_;
    NewConnectionRate newConnections_;
    AddressCounter addresses_;
    boost::asio::io_context io_;
    ConnectionHub hub_;
    SystemRandom systemRandom_;
    SecretSource& random_;
    Lobby lobby_;
    SiteFolder site_;
    ReplayFolder replays_;
    OriginPolicy origins_;
    ServerContext context_;
    boost::asio::ip::tcp::acceptor acceptor_;
    boost::asio::signal_set signals_;
    boost::asio::steady_timer retryOrQuit_;
    std::optional<MetricsListener> metrics_;
    Duration shutdownStarted_{0};
};

}  // namespace voltaro::server
