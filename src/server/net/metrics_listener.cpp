#include "server/net/metrics_listener.h"

#include <boost/asio/ip/v6_only.hpp>
#include <utility>

namespace voltaro::server {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;

MetricsListener::MetricsListener(asio::io_context& io, const tcp::endpoint& at,
                                 std::chrono::milliseconds timeout, MetricsSession::Render render)
    : acceptor_(io), retry_(io), timeout_(timeout), render_(std::move(render)) {
    acceptor_.open(at.protocol());
    acceptor_.set_option(asio::socket_base::reuse_address(true));
    if (at.address().is_v6()) {
        acceptor_.set_option(asio::ip::v6_only(true));
    }
    acceptor_.bind(at);
    acceptor_.listen(16);
}

void MetricsListener::start() {
    acceptNext();
}

void MetricsListener::stop() {
    boost::system::error_code ignored;
    acceptor_.close(ignored);
    retry_.cancel();
}

void MetricsListener::acceptNext() {
    acceptor_.async_accept([this](boost::system::error_code error, tcp::socket socket) {
        accepted(error, std::move(socket));
    });
}

void MetricsListener::accepted(boost::system::error_code error, tcp::socket socket) {
    if (error == asio::error::operation_aborted || !acceptor_.is_open()) {
        return;
    }
    if (error) {
        // Out of descriptors, most likely: the public port needs them more; try again shortly.
        retry_.expires_after(std::chrono::milliseconds(100));
        retry_.async_wait([this](boost::system::error_code waited) {
            if (!waited) {
                acceptNext();
            }
        });
        return;
    }
    if (*open_ >= kMaxConnections) {
        socket.close(error);
    } else {
        std::make_shared<MetricsSession>(std::move(socket), open_, timeout_, render_)->start();
    }
    acceptNext();
}

}  // namespace voltaro::server
