#include "tournament.h"

#include <algorithm>
#include <vector>

#include "computer/computer_player.h"
#include "computer/random_presser.h"
#include "scene/tick_schedule.h"
#include "simulated_match.h"

namespace voltaro {

using computer::Side;

Contender computerContender(int level) {
    const auto kind = static_cast<computer::Level>(level);
    return {std::string(computer::levelName(kind)), [kind](Side side, std::uint64_t seed) {
                return std::make_unique<computer::ComputerPlayer>(side, kind, seed);
            }};
}

Contender randomPresserContender() {
    return {"random presser", [](Side side, std::uint64_t seed) {
                return std::make_unique<computer::RandomPresser>(side, seed);
            }};
}

PairingResult playPairing(const Contender& a, const Contender& b, int matches, std::uint64_t seed,
                          std::chrono::nanoseconds limit) {
    const bool mirror = &a == &b || a.name == b.name;
    PairingResult result;
    std::vector<double> lengths;
    for (int i = 0; i < matches; ++i) {
        const bool aIsRed = mirror || i % 2 == 0;
        const std::uint64_t matchSeed = seed * 1000003ULL + static_cast<std::uint64_t>(i);
        const Contender& red = aIsRed ? a : b;
        const Contender& blue = aIsRed ? b : a;
        const MatchOutcome outcome = playMatch(red.seat(Side::Red, matchSeed),
                                               blue.seat(Side::Blue, matchSeed * 31 + 7), limit);
        ++result.matches;
        result.ticks += outcome.ticks;
        result.playersTime += outcome.playersTime;
        if (!outcome.winner) {
            ++result.unfinished;
            continue;
        }
        const bool aWon = (*outcome.winner == Side::Red) == aIsRed;
        ++(aWon ? result.aWins : result.bWins);
        lengths.push_back(std::chrono::duration<double>(TickSchedule::kShortestPeriod).count() *
                          static_cast<double>(outcome.ticks));
    }
    if (!lengths.empty()) {
        std::nth_element(lengths.begin(), lengths.begin() + lengths.size() / 2, lengths.end());
        result.medianSeconds = lengths[lengths.size() / 2];
    }
    return result;
}

double share(int count, int matches) {
    return matches > 0 ? 100.0 * count / matches : 0;
}

}  // namespace voltaro
