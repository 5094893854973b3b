#pragma once

#include <cstddef>
#include <string>

#include "server/core/refusals.h"
#include "server/core/server_stats.h"

namespace voltaro::server {

// The server's figures at one moment, as an operator's scraper (Prometheus) reads them.
struct MetricsFigures {
    const ServerStats& stats;
    const Refusals& refusals;
    std::size_t connections = 0;  // open match connections
    std::size_t rooms = 0;        // open rooms, lingering ones too
    std::size_t matches = 0;      // rooms with a match in play
};

// The figures in Prometheus's text exposition format, version 0.0.4: every name starts with
// voltaro_, durations are in seconds, and every kind of refusal has its line, counted or not.
std::string metricsText(const MetricsFigures& figures);

}  // namespace voltaro::server
