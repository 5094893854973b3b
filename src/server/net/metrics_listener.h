#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <chrono>
#include <memory>

#include "server/net/metrics_session.h"

namespace voltaro::server {

// The operator's port (--metrics): a listening socket of its own, never the public one, served
// by the server's io_context. A scraper needs a connection or two: beyond a few, new ones are
// closed at once, so that this port cannot be used to take the server's descriptors.
class MetricsListener {
  public:
    static constexpr std::size_t kMaxConnections = 8;

    // Binds and listens; throws boost::system::system_error when it cannot.
    MetricsListener(boost::asio::io_context& io, const boost::asio::ip::tcp::endpoint& at,
                    std::chrono::milliseconds timeout, MetricsSession::Render render);

    boost::asio::ip::tcp::endpoint endpoint() const { return acceptor_.local_endpoint(); }
    void start();
    // Stops accepting; the connections open now end with their requests.
    void stop();

  private:
    void acceptNext();
    void accepted(boost::system::error_code error, boost::asio::ip::tcp::socket socket);

    boost::asio::ip::tcp::acceptor acceptor_;
    boost::asio::steady_timer retry_;
    std::chrono::milliseconds timeout_;
    MetricsSession::Render render_;
    // Shared with the sessions, which may outlive this listener inside the io_context.
    std::shared_ptr<std::size_t> open_ = std::make_shared<std::size_t>(0);
};

}  // namespace voltaro::server
