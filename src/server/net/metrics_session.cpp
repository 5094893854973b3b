#include "server/net/metrics_session.h"

#include <boost/beast/http/read.hpp>
#include <boost/beast/http/write.hpp>
#include <string_view>
#include <utility>

#include "server/net/request_path.h"

namespace voltaro::server {

namespace beast = boost::beast;
namespace http = boost::beast::http;

namespace {

// A scraper's request is a line and a few headers; the buffer holds no more than that, so a
// request that never ends cannot grow it.
constexpr std::uint32_t kMaxHeaderBytes = 4 * 1024;
constexpr std::size_t kMaxBufferBytes = 2 * kMaxHeaderBytes;

}  // namespace

MetricsSession::MetricsSession(boost::asio::ip::tcp::socket&& socket,
                               std::shared_ptr<std::size_t> open, std::chrono::milliseconds timeout,
                               const Render& render)
    : stream_(std::move(socket)),
      buffer_(kMaxBufferBytes),
      open_(std::move(open)),
      timeout_(timeout),
      render_(render) {
    ++*open_;
}

MetricsSession::~MetricsSession() {
    --*open_;
}

void MetricsSession::start() {
    readNext();
}

void MetricsSession::readNext() {
    parser_.emplace();
    parser_->header_limit(kMaxHeaderBytes);
    parser_->body_limit(0);  // nothing here takes a body
    stream_.expires_after(timeout_);
    http::async_read(
        stream_, buffer_, *parser_,
        [self = shared_from_this()](beast::error_code error, std::size_t) { self->read(error); });
}

void MetricsSession::read(beast::error_code error) {
    if (error) {
        beast::error_code ignored;
        stream_.socket().shutdown(boost::asio::ip::tcp::socket::shutdown_both, ignored);
        return;
    }
    answer(parser_->get());
}

void MetricsSession::answer(const http::request<http::empty_body>& request) {
    const std::string_view path =
        pathOf(std::string_view(request.target().data(), request.target().size()));
    const bool get = request.method() == http::verb::get;
    response_ = {};
    response_.version(request.version());
    response_.keep_alive(request.keep_alive());
    response_.set(http::field::server, "voltaro-server");
    response_.set(http::field::cache_control, "no-store");
    response_.set("X-Content-Type-Options", "nosniff");
    if (get && path == "/metrics") {
        response_.result(http::status::ok);
        response_.set(http::field::content_type, "text/plain; version=0.0.4; charset=utf-8");
        response_.body() = render_();
    } else if (get && path == "/healthz") {
        response_.result(http::status::ok);
        response_.set(http::field::content_type, "text/plain; charset=utf-8");
        response_.body() = "ok\n";
    } else {
        response_.result(http::status::not_found);
        response_.set(http::field::content_type, "text/plain; charset=utf-8");
        response_.body() = "Not found: /metrics and /healthz only\n";
    }
    response_.prepare_payload();
    stream_.expires_after(timeout_);
    http::async_write(stream_, response_,
                      [self = shared_from_this()](beast::error_code error, std::size_t) {
                          self->written(error);
                      });
}

void MetricsSession::written(beast::error_code error) {
    if (error || response_.need_eof()) {
        beast::error_code ignored;
        stream_.socket().shutdown(boost::asio::ip::tcp::socket::shutdown_send, ignored);
        return;
    }
    readNext();
}

}  // namespace voltaro::server
