#pragma once

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace voltaro::server {

// One connection to the operator's port: GET /metrics and GET /healthz, anything else 404. A
// request has small headers, no body, and must arrive within the timeout, as on the public port.
class MetricsSession final : public std::enable_shared_from_this<MetricsSession> {
  public:
    using Render = std::function<std::string()>;

    // `open` counts the sessions alive; this one is counted until it is destroyed.
    MetricsSession(boost::asio::ip::tcp::socket&& socket, std::shared_ptr<std::size_t> open,
                   std::chrono::milliseconds timeout, const Render& render);
    ~MetricsSession();
    MetricsSession(const MetricsSession&) = delete;
    MetricsSession& operator=(const MetricsSession&) = delete;

    void start();

  private:
    void readNext();
    void read(boost::beast::error_code error);
    void answer(const boost::beast::http::request<boost::beast::http::empty_body>& request);
    void written(boost::beast::error_code error);

    boost::beast::tcp_stream stream_;
    boost::beast::flat_buffer buffer_;
    std::optional<boost::beast::http::request_parser<boost::beast::http::empty_body>> parser_;
    boost::beast::http::response<boost::beast::http::string_body> response_;
    std::shared_ptr<std::size_t> open_;
    std::chrono::milliseconds timeout_;
    const Render& render_;
};

}  // namespace voltaro::server
