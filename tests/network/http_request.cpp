#include "http_request.h"

#include <boost/beast/core/flat_buffer.hpp>

#include "ws_client.h"

namespace voltaro::server::testing {

namespace http = boost::beast::http;
using tcp = boost::asio::ip::tcp;
using namespace std::chrono_literals;

std::optional<HttpReply> httpRequest(boost::asio::io_context& io, const tcp::endpoint& to,
                                     const HttpAsk& ask, std::chrono::milliseconds limit) {
    tcp::socket socket(io);
    socket.connect(to);
    http::request<http::empty_body> request(ask.method, ask.target, 11);
    request.set(http::field::host, "127.0.0.1");
    for (const auto& [name, value] : ask.fields) {
        request.set(name, value);
    }
    if (!ask.keepAlive) {
        request.keep_alive(false);
    }
    boost::beast::flat_buffer buffer;
    http::response_parser<http::string_body> parser;
    parser.skip(ask.method == http::verb::head);
    bool done = false;
    bool answered = false;
    http::async_write(socket, request, [&](boost::system::error_code wrote, std::size_t) {
        if (wrote) {
            done = true;
            return;
        }
        http::async_read(socket, buffer, parser, [&](boost::system::error_code read, std::size_t) {
            done = true;
            answered = !read;
        });
    });
    if (!runUntil(
            io, [&] { return done; }, limit)) {
        // The handlers hold this frame's locals: they run, cancelled, before it ends.
        boost::system::error_code ignored;
        socket.close(ignored);
        runUntil(
            io, [&] { return done; }, 10s);
    }
    if (!answered) {
        return std::nullopt;
    }
    return parser.release();
}

}  // namespace voltaro::server::testing
