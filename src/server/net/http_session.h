#pragma once

#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/file_body.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>
#include <memory>
#include <optional>

#include "server/core/refusals.h"
#include "server/net/address_counter.h"
#include "server/net/connection_hub.h"
#include "server/net/connection_rate.h"
#include "server/net/origin_policy.h"
#include "server/net/replay_folder.h"
#include "server/net/server_options.h"
#include "server/net/site_folder.h"
#include "server/net/trusted_proxies.h"

namespace voltaro::server {

// What every connection shares: the options, the page, the origin rule, the hub and the limits
// on who connects how often.
struct ServerContext {
    const ServerOptions& options;
    const SiteFolder& site;
    const ReplayFolder& replays;
    const OriginPolicy& origins;
    ConnectionHub& hub;
    ServerStats& stats;
    Refusals& refusals;
    const TrustedProxies& proxies;
    NewConnectionRate& newConnections;
};

// One HTTP connection: files of the page and the match records (/replay/ID) for GET and HEAD, and
// on the match path the upgrade to a WebSocket session. Headers must arrive within the timeout and
// stay small, and a request may carry no body at all: a client that dawdles or floods is cut off. A
// connection from a trusted proxy counts as the client's that each request names.
class HttpSession final : public std::enable_shared_from_this<HttpSession> {
  public:
    // The path of match connections; a proxy routes on the room code in its query
    // (/ws?room=CODE), which the server itself does not need.
    static constexpr std::string_view kMatchPath = "/ws";

    // `slot`: the connection counted under its peer; `fromProxy`: that peer is a trusted proxy,
    // and the client's limits are applied once its first request has come.
    HttpSession(boost::asio::ip::tcp::socket&& socket, AddressSlot slot, bool fromProxy,
                const ServerContext& context);

    void start();

  private:
    using Request = boost::beast::http::request<boost::beast::http::string_body>;
    using FileBody = boost::beast::http::file_body::value_type;

    void readNext();
    void read(boost::beast::error_code error);
    void readFailed(boost::beast::error_code error);
    bool acceptable(Request& request);
    bool countedAsClient(Request& request);
    void upgrade(Request request);
    void serveFile(const Request& request);
    void serveReplay(const Request& request);
    void reply(boost::beast::http::status status, std::string_view text, const Request& request);
    template <typename Response>
    void writeResponse(std::shared_ptr<Response> response);
    // The file as the answer to a GET, or its fields alone to a HEAD; `fields` sets the rest.
    template <typename Fields>
    void answerWithFile(const Request& request, FileBody body, Fields fields);

    boost::beast::tcp_stream stream_;
    boost::beast::flat_buffer buffer_;
    std::optional<boost::beast::http::request_parser<boost::beast::http::string_body>> parser_;
    std::optional<AddressSlot> slot_;
    const std::string peer_;
    bool fromProxy_;
    bool countedAsClient_ = false;  // the slot is the client's, not the proxy's
    const ServerContext& context_;
};

}  // namespace voltaro::server
