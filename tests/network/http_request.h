#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/http.hpp>
#include <chrono>
#include <map>
#include <optional>
#include <string>

namespace voltaro::server::testing {

using HttpReply = boost::beast::http::response<boost::beast::http::string_body>;

struct HttpAsk {
    std::string target = "/";
    boost::beast::http::verb method = boost::beast::http::verb::get;
    std::map<std::string, std::string> fields{};  // beside Host: 127.0.0.1
    bool keepAlive = true;
};

// One request on a connection of its own, run on `io` (which may run the peer too, as a relay
// of the test's own does); none when no answer came within `limit`.
std::optional<HttpReply> httpRequest(boost::asio::io_context& io,
                                     const boost::asio::ip::tcp::endpoint& to, const HttpAsk& ask,
                                     std::chrono::milliseconds limit);

}  // namespace voltaro::server::testing
