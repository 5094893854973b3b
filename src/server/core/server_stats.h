#pragma once

#include <cstdint>
#include <filesystem>

#include "server/core/latency_histogram.h"

namespace voltaro::server {

// What the server measures of itself while it runs, for --stats: how late each wake-up of the
// match clock came, how long a message took from its match to the socket, and the traffic.
struct ServerStats {
    LatencyHistogram tickLateness;  // wake-up time against the time it was due
    LatencyHistogram delivery;      // written to the socket, from the tick (or call) that made it
    std::uint64_t messagesSent = 0;
    std::uint64_t bytesSent = 0;         // WebSocket payloads
    std::uint64_t messagesReceived = 0;  // handed to the Lobby
    std::uint64_t bytesReceived = 0;     // WebSocket payloads, refused ones too
    std::uint64_t connectionsOpened = 0;
    std::uint64_t connectionsRefused = 0;  // over the per-address limit
    // Match records lost since the start: the writer lagged too far behind, or the disk failed.
    std::uint64_t recordsDropped = 0;
    std::uint64_t recordsCutOff = 0;  // matches too long to record, since the start
    Duration since{0};                // when these figures started

    void restart(Duration now);
    // As one JSON object; false when the file cannot be written.
    bool write(const std::filesystem::path& file, Duration now, std::size_t openRooms,
               std::size_t openMatches) const;
};

}  // namespace voltaro::server
