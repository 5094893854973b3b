#include "server/core/metrics_text.h"

#include <array>
#include <cinttypes>
#include <cstdio>
#include <string_view>

namespace voltaro::server {

namespace {

// The upper bounds of the latency buckets, as written and as durations: a tick is 15.6 ms, so
// the interesting part is below a few milliseconds. Each a whole number of histogram steps.
struct Bucket {
    std::string_view le;
    Duration bound;
};
constexpr std::array<Bucket, 10> kBuckets{{
    {"0.0001", std::chrono::microseconds(100)},
    {"0.00025", std::chrono::microseconds(250)},
    {"0.0005", std::chrono::microseconds(500)},
    {"0.001", std::chrono::milliseconds(1)},
    {"0.002", std::chrono::milliseconds(2)},
    {"0.005", std::chrono::milliseconds(5)},
    {"0.01", std::chrono::milliseconds(10)},
    {"0.025", std::chrono::milliseconds(25)},
    {"0.05", std::chrono::milliseconds(50)},
    {"0.1", std::chrono::milliseconds(100)},
}};

void describe(std::string& out, std::string_view name, std::string_view type,
              std::string_view help) {
    out.append("# HELP ").append(name).append(" ").append(help).append("\n");
    out.append("# TYPE ").append(name).append(" ").append(type).append("\n");
}

void sample(std::string& out, std::string_view name, std::uint64_t value) {
    out.append(name).append(" ").append(std::to_string(value)).append("\n");
}

void metric(std::string& out, std::string_view name, std::string_view type, std::string_view help,
            std::uint64_t value) {
    describe(out, name, type, help);
    sample(out, name, value);
}

// Seconds with nine decimals: the sum of nanoseconds, exactly.
std::string seconds(Duration duration) {
    const auto ns = static_cast<std::uint64_t>(std::max(duration.count(), Duration::rep{0}));
    char text[32];
    std::snprintf(text, sizeof text, "%" PRIu64 ".%09" PRIu64, ns / 1000000000, ns % 1000000000);
    return text;
}

void histogram(std::string& out, std::string_view name, std::string_view help,
               const LatencyHistogram& histogram) {
    describe(out, name, "histogram", help);
    const std::string bucket = std::string(name) + "_bucket{le=\"";
    for (const Bucket& b : kBuckets) {
        out.append(bucket).append(b.le).append("\"} ");
        out.append(std::to_string(histogram.countBelow(b.bound))).append("\n");
    }
    out.append(bucket).append("+Inf\"} ").append(std::to_string(histogram.count())).append("\n");
    out.append(name).append("_sum ").append(seconds(histogram.sum())).append("\n");
    sample(out, std::string(name) + "_count", histogram.count());
}

void refusals(std::string& out, const Refusals& counted) {
    constexpr std::string_view kName = "voltaro_refusals_total";
    describe(out, kName, "counter", "What the server turned away, by reason.");
    for (std::size_t i = 0; i < static_cast<std::size_t>(Refusal::kCount); ++i) {
        const auto reason = static_cast<Refusal>(i);
        out.append(kName).append("{reason=\"").append(refusalName(reason)).append("\"} ");
        out.append(std::to_string(counted.total(reason))).append("\n");
    }
}

}  // namespace

std::string metricsText(const MetricsFigures& figures) {
    const ServerStats& stats = figures.stats;
    std::string out;
    metric(out, "voltaro_connections", "gauge", "Open match connections.", figures.connections);
    metric(out, "voltaro_rooms", "gauge", "Open rooms, those waiting for a player back too.",
           figures.rooms);
    metric(out, "voltaro_matches", "gauge", "Matches in play.", figures.matches);
    histogram(out, "voltaro_tick_lateness_seconds",
              "How late the match clock woke against when it was due.", stats.tickLateness);
    histogram(out, "voltaro_delivery_seconds",
              "From the tick or message that made a message to its write to the socket.",
              stats.delivery);
    metric(out, "voltaro_messages_received_total", "counter",
           "Messages from the players handed to the lobby.", stats.messagesReceived);
    metric(out, "voltaro_received_bytes_total", "counter",
           "WebSocket payload bytes received, refused messages too.", stats.bytesReceived);
    metric(out, "voltaro_messages_sent_total", "counter", "Messages written to the players.",
           stats.messagesSent);
    metric(out, "voltaro_sent_bytes_total", "counter", "WebSocket payload bytes written.",
           stats.bytesSent);
    metric(out, "voltaro_connections_opened_total", "counter", "Match connections opened.",
           stats.connectionsOpened);
    refusals(out, figures.refusals);
    return out;
}

}  // namespace voltaro::server
