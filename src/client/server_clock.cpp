#include "client/server_clock.h"

#include <algorithm>
#include <cmath>
#include <span>

namespace voltaro::client {

void ServerClock::pong(double sentMs, std::int64_t serverUs, double receivedMs) {
    const double roundTripMs = receivedMs - sentMs;
    if (!std::isfinite(roundTripMs) || roundTripMs < 0) {
        return;  // not an answer to a ping of this clock's host
    }
    // The server answered somewhere within the round trip: most likely half-way through it.
    samples_[nextSample_] = {roundTripMs,
                             static_cast<double>(serverUs) - (sentMs + receivedMs) / 2 * 1000};
    nextSample_ = (nextSample_ + 1) % kSamplesKept;
    samplesKept_ = std::min(samplesKept_ + 1, kSamplesKept);
    const auto kept = std::span(samples_).first(samplesKept_);
    offsetUs_ = std::min_element(kept.begin(), kept.end(), [](const Sample& a, const Sample& b) {
                    return a.roundTripMs < b.roundTripMs;
                })->offsetUs;
}

void ServerClock::heard(std::int64_t serverUs, double receivedMs) {
    if (samplesKept_ > 0 || !std::isfinite(receivedMs)) {
        return;
    }
    // The message took some time on the way: the one that took least says the latest time.
    const double offsetUs = static_cast<double>(serverUs) - receivedMs * 1000;
    offsetUs_ = offsetUs_ ? std::max(*offsetUs_, offsetUs) : offsetUs;
}

std::int64_t ServerClock::serverUs(double nowMs) const {
    return std::llround(nowMs * 1000 + offsetUs_.value_or(0));
}

double ServerClock::roundTripMs() const {
    double fastest = 0;
    for (std::size_t i = 0; i < samplesKept_; ++i) {
        fastest = i == 0 ? samples_[i].roundTripMs : std::min(fastest, samples_[i].roundTripMs);
    }
    return fastest;
}

}  // namespace voltaro::client
