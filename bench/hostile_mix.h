#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace voltaro::bench {

// What one kind of hostile peer got done.
struct HostileTally {
    std::uint64_t connections = 0;     // connected and sent its opening
    std::uint64_t closedByServer = 0;  // ended by the server, not by the peer
    std::uint64_t notConnected = 0;    // the connection itself failed
    std::uint64_t bytesSent = 0;
};

// Strangers doing what one machine can do to a public server, each kind from loopback addresses
// of its own (127.0.0.2, ...), each peer over and over until `end`: room flooders (create, drop,
// again), code guessers, ping flooders, slow readers (watching a match, never reading), held-key
// floods (every key down, none up, stamped with lies about the clock), a chunked request whose
// chunk header never ends, and headers a byte at a time. Everything it starts is over by `end`.
class HostileMix {
  public:
    // `peers` of each kind (five times as many byte-at-a-time headers, from one address);
    // `codes`: rooms in play that the slow readers watch.
    HostileMix(boost::asio::io_context& io, const boost::asio::ip::tcp::endpoint& server, int peers,
               std::vector<std::string> codes, std::chrono::steady_clock::time_point end);
    ~HostileMix();

    void start();
    const std::map<std::string, HostileTally>& tallies() const { return tallies_; }

  private:
    struct Peer;
    struct KeyHolder;

    boost::asio::io_context& io_;
    boost::asio::ip::tcp::endpoint server_;
    int peers_;
    std::vector<std::string> codes_;
    std::chrono::steady_clock::time_point end_;
    std::map<std::string, HostileTally> tallies_;
    std::vector<std::shared_ptr<Peer>> started_;
    std::vector<std::shared_ptr<KeyHolder>> holders_;
};

}  // namespace voltaro::bench
