#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace voltaro::client {

// The server's steady clock as seen from here, kept in step by pings: each Pong says the
// server's time as it answered, and the answer that came back fastest of the last few says it
// best (half its round trip is the most it can be off). Until the first Pong, a message's own
// arrival stands in for it: the clock then runs behind by the one-way delay, which a stamp may.
class ServerClock {
  public:
    // A Ping went out at `sentMs` and its Pong, saying `serverUs`, came in at `receivedMs`
    // (the host's steady clock, in milliseconds).
    void pong(double sentMs, std::int64_t serverUs, double receivedMs);
    // A message that said the server's time `serverUs` came in at `receivedMs`, with no ping.
    void heard(std::int64_t serverUs, double receivedMs);

    bool known() const { return offsetUs_.has_value(); }
    // Every kept sample is an answer: the fastest of them has been found, and pings may come
    // less often.
    bool settled() const { return samplesKept_ == kSamplesKept; }
    // The server's time now, the host's steady clock reading `nowMs` (until known(), the host's
    // clock as it is).
    std::int64_t serverUs(double nowMs) const;
    // The fastest round trip of the kept samples, 0 before any.
    double roundTripMs() const;

    static constexpr std::size_t kSamplesKept = 8;

  private:
    struct Sample {
        double roundTripMs;
        double offsetUs;  // the server's clock less the host's
    };

    std::array<Sample, kSamplesKept> samples_{};
    std::size_t samplesKept_ = 0;
    std::size_t nextSample_ = 0;  // the oldest, to be replaced next
    std::optional<double> offsetUs_;
};

}  // namespace voltaro::client
