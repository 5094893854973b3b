#pragma once

#include <algorithm>
#include <boost/asio/bind_executor.hpp>
#include <boost/asio/buffer.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/error.hpp>
#include <boost/beast/core/role.hpp>
#include <boost/beast/websocket/teardown.hpp>
#include <functional>
#include <utility>

#include "server/net/frame_counter.h"

namespace voltaro::server {

// A TCP socket that counts the WebSocket frames a client sends as they arrive, below the
// WebSocket stream: the stream answers pings and skips empty fragments by itself, and only the
// bytes show that they came. `onFrames` hears how many frames began in each read.
class FrameCountingSocket {
  public:
    using executor_type = boost::asio::ip::tcp::socket::executor_type;
    using next_layer_type = boost::asio::ip::tcp::socket;
    using OnFrames = std::function<void(std::size_t)>;

    FrameCountingSocket(boost::asio::ip::tcp::socket&& socket, OnFrames onFrames)
        : socket_(std::move(socket)), onFrames_(std::move(onFrames)) {}

    executor_type get_executor() { return socket_.get_executor(); }
    next_layer_type& next_layer() { return socket_; }

    template <typename Buffers, typename Handler>
    void async_read_some(const Buffers& buffers, Handler&& handler) {
        const auto executor = boost::asio::get_associated_executor(handler, get_executor());
        socket_.async_read_some(
            buffers, boost::asio::bind_executor(
                         executor, [this, buffers, handler = std::forward<Handler>(handler)](
                                       boost::beast::error_code error, std::size_t n) mutable {
                             counted(buffers, n);
                             std::move(handler)(error, n);
                         }));
    }

    template <typename Buffers, typename Handler>
    void async_write_some(const Buffers& buffers, Handler&& handler) {
        socket_.async_write_some(buffers, std::forward<Handler>(handler));
    }

  private:
    template <typename Buffers>
    void counted(const Buffers& buffers, std::size_t n) {
        std::size_t frames = 0;
        for (auto part = boost::asio::buffer_sequence_begin(buffers);
             n > 0 && part != boost::asio::buffer_sequence_end(buffers); ++part) {
            const boost::asio::const_buffer bytes(*part);
            const std::size_t size = std::min(n, bytes.size());
            frames += counter_.scan(static_cast<const unsigned char*>(bytes.data()), size);
            n -= size;
        }
        if (frames > 0) {
            onFrames_(frames);
        }
    }

    boost::asio::ip::tcp::socket socket_;
    OnFrames onFrames_;
    FrameCounter counter_;
};

// How the WebSocket stream ends the connection under it: as on the bare socket.
inline void teardown(boost::beast::role_type role, FrameCountingSocket& socket,
                     boost::beast::error_code& error) {
    boost::beast::websocket::teardown(role, socket.next_layer(), error);
}

template <typename Handler>
void async_teardown(boost::beast::role_type role, FrameCountingSocket& socket, Handler&& handler) {
    boost::beast::websocket::async_teardown(role, socket.next_layer(),
                                            std::forward<Handler>(handler));
}

}  // namespace voltaro::server
