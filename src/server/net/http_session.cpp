#include "server/net/http_session.h"

#include <boost/beast/http.hpp>
#include <boost/beast/version.hpp>
#include <boost/beast/websocket/rfc6455.hpp>
#include <utility>

#include "server/core/person_key.h"
#include "server/net/request_path.h"
#include "server/net/site_file.h"
#include "server/net/websocket_session.h"

namespace voltaro::server {

namespace beast = boost::beast;
namespace http = boost::beast::http;

namespace {

// Enough for any browser's request headers; no request here has a body. The read buffer holds
// one request's headers and what a client sent after them, and never grows past that.
constexpr std::uint32_t kMaxHeaderBytes = 8 * 1024;
constexpr std::size_t kMaxBufferedBytes = 2 * kMaxHeaderBytes;

// Every X-Forwarded-For header of `request`, in order, as one list.
std::string forwardedFor(const http::request<http::string_body>& request) {
    std::string list;
    const auto [first, last] = request.equal_range("X-Forwarded-For");
    for (auto field = first; field != last; ++field) {
        if (!list.empty()) {
            list += ',';
        }
        list.append(field->value().data(), field->value().size());
    }
    return list;
}

// Errors that are a peer going away or falling silent rather than breaking the rules.
bool isGoingAway(beast::error_code error) {
    return error == http::error::end_of_stream || error == beast::error::timeout ||
           error == boost::asio::error::operation_aborted ||
           error == boost::asio::error::connection_reset || error == boost::asio::error::eof ||
           error == http::error::partial_message;
}

// What the page may do, said to the browser: its own scripts, its module compiled from its own
// fetch, its own styles, fonts, images, worker and match connection (a WebSocket to the same
// host), and nothing from elsewhere; no other site may frame it.
constexpr std::string_view kContentSecurityPolicy =
    "default-src 'none'; script-src 'self' 'wasm-unsafe-eval'; style-src 'self'; "
    "img-src 'self'; font-src 'self'; connect-src 'self'; manifest-src 'self'; "
    "worker-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

template <typename Response>
void setCommonFields(Response& response, const http::request<http::string_body>& request) {
    response.set(http::field::server, "voltaro-server");
    // Every visit asks again, and a file that has not changed costs a 304 and no body.
    response.set(http::field::cache_control, "no-cache");
    response.set("X-Content-Type-Options", "nosniff");
    response.set("Content-Security-Policy", kContentSecurityPolicy);
    // A page's address carries its match code: it goes to no other site.
    response.set("Referrer-Policy", "no-referrer");
    response.keep_alive(request.keep_alive());
}

std::string_view targetOf(const http::request<http::string_body>& request) {
    return std::string_view(request.target().data(), request.target().size());
}

std::optional<std::string_view> fieldOf(const http::request<http::string_body>& request,
                                        http::field name) {
    const auto field = request.find(name);
    if (field == request.end()) {
        return std::nullopt;
    }
    return std::string_view(field->value().data(), field->value().size());
}

template <typename Response>
void setFileFields(Response& response, const SiteFile& file, std::string_view type) {
    response.set(http::field::content_type, type);
    response.set(http::field::etag, file.etag);
    response.set(http::field::last_modified, file.lastModified);
    response.set(http::field::vary, "Accept-Encoding");
    if (!file.encoding.empty()) {
        response.set(http::field::content_encoding, file.encoding);
    }
}

}  // namespace

HttpSession::HttpSession(boost::asio::ip::tcp::socket&& socket, AddressSlot slot, bool fromProxy,
                         const ServerContext& context)
    : stream_(std::move(socket)),
      buffer_(kMaxBufferedBytes),
      slot_(std::move(slot)),
      peer_(slot_->address()),
      fromProxy_(fromProxy),
      context_(context) {}

void HttpSession::start() {
    readNext();
}

void HttpSession::readNext() {
    parser_.emplace();
    parser_->header_limit(kMaxHeaderBytes);
    // A request (its headers most of all) must come within the timeout: a client that sends a
    // byte now and then cannot hold a connection open. Only the headers are read: a request
    // with a body is refused before any of it is.
    stream_.expires_after(context_.options.timeout);
    http::async_read_header(
        stream_, buffer_, *parser_,
        [self = shared_from_this()](beast::error_code error, std::size_t) { self->read(error); });
}

void HttpSession::read(beast::error_code error) {
    if (error) {
        readFailed(error);
        return;
    }
    const bool withBody =
        !parser_->is_done() || parser_->get().count(http::field::transfer_encoding) > 0;
    Request request = parser_->release();
    if (withBody) {
        context_.refusals.count(Refusal::RequestTooLarge, slot_->address(), context_.hub.now());
        request.keep_alive(false);
        reply(http::status::bad_request, "Requests here carry no body", request);
        return;
    }
    if (!acceptable(request)) {
        return;
    }
    if (context_.hub.shuttingDown()) {
        request.keep_alive(false);
        reply(http::status::service_unavailable, "The server is shutting down", request);
    } else if (beast::websocket::is_upgrade(request)) {
        upgrade(std::move(request));
    } else if (ReplayFolder::asksForReplay(pathOf(targetOf(request)))) {
        serveReplay(request);
    } else {
        serveFile(request);
    }
}

void HttpSession::readFailed(beast::error_code error) {
    if (error == http::error::header_limit || error == http::error::buffer_overflow) {
        context_.refusals.count(Refusal::RequestTooLarge, slot_->address(), context_.hub.now());
    } else if (!isGoingAway(error)) {
        context_.refusals.count(Refusal::Malformed, slot_->address(), context_.hub.now());
    }
    beast::error_code ignored;
    stream_.socket().shutdown(boost::asio::ip::tcp::socket::shutdown_both, ignored);
}

// Whether the request may be answered: its Host is one this server answers to, and its client
// is within their limits. Refused (and answered so) when not.
bool HttpSession::acceptable(Request& request) {
    // Through a proxy in front the name was the proxy's to check: a browser reaches it under a
    // name only with that name's certificate.
    const bool proxied = fromProxy_ && request.count("X-Forwarded-For") > 0;
    const auto host = request[http::field::host];
    if (!proxied && !context_.origins.answersTo(std::string_view(host.data(), host.size()))) {
        context_.refusals.count(Refusal::Origin, slot_->address(), context_.hub.now());
        request.keep_alive(false);
        reply(http::status::misdirected_request, "This server does not answer to that name",
              request);
        return false;
    }
    return countedAsClient(request);
}

// Behind a trusted proxy the connection is the client's that the proxy names: its new
// connections and open ones count against that client's limits, as they would if it had
// connected itself. Checked again whenever the proxy sends another client's request on it.
bool HttpSession::countedAsClient(Request& request) {
    if (!fromProxy_) {
        return true;  // counted at accept, under the peer
    }
    std::string client = context_.proxies.clientOf(peer_, forwardedFor(request));
    if (countedAsClient_ && client == slot_->address()) {
        return true;
    }
    const std::string person = personKey(client);
    std::optional<Refusal> refusal;
    if (!context_.newConnections.take(person, context_.hub.now())) {
        refusal = Refusal::ConnectionRate;
    } else if (!slot_->moveTo(client)) {
        refusal = Refusal::PerAddress;
    }
    if (refusal) {
        ++context_.stats.connectionsRefused;
        context_.refusals.count(*refusal, client, context_.hub.now());
        request.keep_alive(false);
        reply(http::status::too_many_requests, "Too many connections from your address", request);
        return false;
    }
    countedAsClient_ = true;
    return true;
}

void HttpSession::upgrade(Request request) {
    if (pathOf(std::string_view(request.target().data(), request.target().size())) != kMatchPath) {
        reply(http::status::not_found, "Matches are played on /ws", request);
        return;
    }
    std::optional<std::string_view> origin;
    if (const auto field = request.find(http::field::origin); field != request.end()) {
        origin = std::string_view(field->value().data(), field->value().size());
    }
    const auto host = request[http::field::host];
    if (!context_.origins.allows(origin, std::string_view(host.data(), host.size()))) {
        context_.refusals.count(Refusal::Origin, slot_->address(), context_.hub.now());
        request.keep_alive(false);
        reply(http::status::forbidden, "Pages of this origin may not open matches here", request);
        return;
    }
    stream_.expires_never();
    std::make_shared<WebSocketSession>(stream_.release_socket(), std::move(*slot_), context_.hub,
                                       context_.stats, context_.refusals, context_.options)
        ->start(std::move(request));
}

void HttpSession::serveFile(const Request& request) {
    if (request.method() != http::verb::get && request.method() != http::verb::head) {
        reply(http::status::method_not_allowed, "Only GET and HEAD", request);
        return;
    }
    const auto found =
        context_.site.resolve(std::string_view(request.target().data(), request.target().size()));
    const auto file =
        found ? SiteFile::choose(
                    *found,
                    fieldOf(request, http::field::accept_encoding).value_or(std::string_view{}))
              : std::nullopt;
    beast::error_code error;
    http::file_body::value_type body;
    if (file) {
        body.open(file->stored.c_str(), beast::file_mode::scan, error);
    }
    if (!file || error) {
        reply(http::status::not_found, "Not found", request);
        return;
    }
    const std::string_view type = SiteFolder::mimeType(*found);
    const bool notModified = file->isNotModified(fieldOf(request, http::field::if_none_match),
                                                 fieldOf(request, http::field::if_modified_since));
    const auto fill = [&](auto& response) {
        setCommonFields(response, request);
        setFileFields(response, *file, type);
    };
    if (notModified) {
        auto response = std::make_shared<http::response<http::empty_body>>(
            http::status::not_modified, request.version());
        fill(*response);
        writeResponse(std::move(response));
        return;
    }
    answerWithFile(request, std::move(body), fill);
}

// A match's record, as the replay tool and the page's replay read it. Every record is its own
// file, written once and removed when the folder needs the room: never kept by a cache, which
// would show one the server no longer has.
void HttpSession::serveReplay(const Request& request) {
    if (request.method() != http::verb::get && request.method() != http::verb::head) {
        reply(http::status::method_not_allowed, "Only GET and HEAD", request);
        return;
    }
    auto file = context_.replays.open(pathOf(targetOf(request)));
    beast::error_code error;
    http::file_body::value_type body;
    if (file) {
        body.reset(std::move(*file), error);
    }
    if (!file || error) {
        reply(http::status::not_found, "No match has that replay", request);
        return;
    }
    const auto fill = [&](auto& response) {
        setCommonFields(response, request);
        response.set(http::field::content_type, "text/plain; charset=utf-8");
        response.set(http::field::cache_control, "no-store");
    };
    answerWithFile(request, std::move(body), fill);
}

template <typename Fields>
void HttpSession::answerWithFile(const Request& request, FileBody body, Fields fields) {
    if (request.method() == http::verb::head) {
        auto response =
            std::make_shared<http::response<http::empty_body>>(http::status::ok, request.version());
        fields(*response);
        response->content_length(body.size());
        writeResponse(std::move(response));
        return;
    }
    auto response = std::make_shared<http::response<http::file_body>>(
        std::piecewise_construct, std::make_tuple(std::move(body)),
        std::make_tuple(http::status::ok, request.version()));
    fields(*response);
    response->prepare_payload();
    writeResponse(std::move(response));
}

void HttpSession::reply(http::status status, std::string_view text, const Request& request) {
    auto response = std::make_shared<http::response<http::string_body>>(status, request.version());
    setCommonFields(*response, request);
    response->set(http::field::content_type, "text/plain; charset=utf-8");
    if (status == http::status::method_not_allowed) {
        response->set(http::field::allow, "GET, HEAD");
    }
    response->body() = std::string(text) + "\n";
    response->prepare_payload();
    writeResponse(std::move(response));
}

template <typename Response>
void HttpSession::writeResponse(std::shared_ptr<Response> response) {
    stream_.expires_after(context_.options.timeout);
    http::async_write(stream_, *response,
                      [self = shared_from_this(), response](beast::error_code error, std::size_t) {
                          if (error || response->need_eof()) {
                              beast::error_code ignored;
                              self->stream_.socket().shutdown(
                                  boost::asio::ip::tcp::socket::shutdown_send, ignored);
                              return;
                          }
                          self->readNext();
                      });
}

}  // namespace voltaro::server
