#include "computer/random_presser.h"

namespace voltaro::computer {

std::optional<std::int16_t> RandomPresser::afterTick(const Sighting&, Duration) {
    if (wait_-- > 0) {
        return std::nullopt;
    }
    wait_ = random_.between(2, 14);
    return keyCode(side_, kMoves[static_cast<std::size_t>(random_.between(0, 3))]);
}

}  // namespace voltaro::computer
