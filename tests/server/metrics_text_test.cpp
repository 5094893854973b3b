// The operator's figures as Prometheus reads them: the histogram's buckets cumulative and in
// seconds, every kind of refusal on a line of its own.
#include "server/core/metrics_text.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace voltaro::server {
namespace {

using namespace std::chrono_literals;

std::vector<std::string> linesStartingWith(const std::string& text, const std::string& prefix) {
    std::vector<std::string> found;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with(prefix)) {
            found.push_back(line);
        }
    }
    return found;
}

TEST(MetricsText, WritesTheTickLatenessAsACumulativeHistogramInSeconds) {
    ServerStats stats;
    for (const std::chrono::microseconds late :
         {0us, 90us, 100us, 999us, 1000us, 3000us, 250000us}) {
        stats.tickLateness.add(late);
    }
    const Refusals refusals([](const std::string&) {});
    const std::string text = metricsText({.stats = stats, .refusals = refusals});
    EXPECT_EQ(linesStartingWith(text, "voltaro_tick_lateness_seconds"),
              (std::vector<std::string>{
                  R"(voltaro_tick_lateness_seconds_bucket{le="0.0001"} 2)",
                  R"(voltaro_tick_lateness_seconds_bucket{le="0.00025"} 3)",
                  R"(voltaro_tick_lateness_seconds_bucket{le="0.0005"} 3)",
                  R"(voltaro_tick_lateness_seconds_bucket{le="0.001"} 4)",
                  R"(voltaro_tick_lateness_seconds_bucket{le="0.002"} 5)",
                  R"(voltaro_tick_lateness_seconds_bucket{le="0.005"} 6)",
                  R"(voltaro_tick_lateness_seconds_bucket{le="0.01"} 6)",
                  R"(voltaro_tick_lateness_seconds_bucket{le="0.025"} 6)",
                  R"(voltaro_tick_lateness_seconds_bucket{le="0.05"} 6)",
                  R"(voltaro_tick_lateness_seconds_bucket{le="0.1"} 6)",
                  R"(voltaro_tick_lateness_seconds_bucket{le="+Inf"} 7)",
                  "voltaro_tick_lateness_seconds_sum 0.255189000",
                  "voltaro_tick_lateness_seconds_count 7",
              }));
    EXPECT_NE(text.find("# TYPE voltaro_tick_lateness_seconds histogram\n"), std::string::npos);
}

TEST(MetricsText, CountsEveryKindOfRefusalAndTheGaugesOfTheMoment) {
    ServerStats stats;
    stats.bytesReceived = 1234;
    stats.messagesSent = 7;
    Refusals refusals([](const std::string&) {});
    refusals.count(Refusal::Origin, "192.0.2.1", 0s);
    refusals.count(Refusal::Origin, "192.0.2.1", 1s);
    refusals.count(Refusal::MessageRate, "192.0.2.2", 1s);
    const std::string text = metricsText(
        {.stats = stats, .refusals = refusals, .connections = 5, .rooms = 3, .matches = 2});
    EXPECT_EQ(linesStartingWith(text, "voltaro_refusals_total"),
              (std::vector<std::string>{
                  R"(voltaro_refusals_total{reason="per_address"} 0)",
                  R"(voltaro_refusals_total{reason="connection_cap"} 0)",
                  R"(voltaro_refusals_total{reason="connection_rate"} 0)",
                  R"(voltaro_refusals_total{reason="room_quota"} 0)",
                  R"(voltaro_refusals_total{reason="code_guesses"} 0)",
                  R"(voltaro_refusals_total{reason="message_rate"} 1)",
                  R"(voltaro_refusals_total{reason="slow_reader"} 0)",
                  R"(voltaro_refusals_total{reason="origin"} 2)",
                  R"(voltaro_refusals_total{reason="malformed"} 0)",
                  R"(voltaro_refusals_total{reason="idle"} 0)",
                  R"(voltaro_refusals_total{reason="held_keys"} 0)",
                  R"(voltaro_refusals_total{reason="request_too_large"} 0)",
              }));
    for (const char* line :
         {"voltaro_connections 5\n", "voltaro_rooms 3\n", "voltaro_matches 2\n",
          "voltaro_received_bytes_total 1234\n", "voltaro_messages_sent_total 7\n",
          "# TYPE voltaro_refusals_total counter\n", "# TYPE voltaro_rooms gauge\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line;
    }
    // Every line a sample or a comment, none of them empty: what a scraper accepts.
    EXPECT_TRUE(text.ends_with("\n"));
    EXPECT_EQ(text.find("\n\n"), std::string::npos);
}

}  // namespace
}  // namespace voltaro::server
