#include "client/predicted_match.h"

#include <algorithm>
#include <cmath>

#include "online/snapshot.h"

namespace voltaro::client {

namespace {

using online::Input;

float distance(Point a, Point b) {
    return std::hypot(a.left - b.left, a.top - b.top);
}

// How far the farthest of the ball and the pieces moved between two scenes.
float jump(const online::Scene& before, const online::Scene& after) {
    return std::max({distance(before.ball, after.ball), distance(before.red, after.red),
                     distance(before.blue, after.blue)});
}

}  // namespace

bool PredictedMatch::start(std::uint32_t tick, const std::string& state) {
    const auto snapshot = online::decodeSnapshot(state);
    if (!snapshot || snapshot->tick != tick) {
        return false;
    }
    final_.restore(*snapshot);
    shown_.restore(*snapshot);
    server_.clear();
    own_.clear();
    stale_ = false;
    startOpen_ = tick == 0;
    started_ = true;
    return true;
}

void PredictedMatch::confirmed(const Input& input, std::optional<online::Seat> own) {
    if (!started_) {
        return;
    }
    if (own && input.seat == *own && input.seq != 0) {
        // What was predicted is the server's input now, maybe at another tick.
        const auto echoed = std::find_if(own_.begin(), own_.end(),
                                         [&](const Input& mine) { return mine.seq == input.seq; });
        if (echoed != own_.end()) {
            changedAt(actingTick(*echoed));
            own_.erase(echoed);
        }
    }
    if (input.tick < firstOpenTick()) {
        // A final tick never changes, but the server's pause and resume come at the final tick
        // itself: a resume in the pause's own tick, or a pause the snapshot has already (it
        // changes nothing then).
        if (input.tick == final_.tick() &&
            (input.kind == Input::Kind::Pause || input.kind == Input::Kind::Resume)) {
            final_.apply(std::span(&input, 1));
            stale_ = true;
        }
        return;
    }
    server_[input.tick].push_back(input);
    changedAt(input.tick);
}

void PredictedMatch::predicted(const Input& input) {
    if (!started_) {
        return;
    }
    own_.push_back(input);
    const std::uint32_t tick = actingTick(input);
    if (tick == shown_.tick() && !stale_) {
        shown_.apply(std::span(&input, 1));  // last of its tick, as a replay puts it too
        return;
    }
    changedAt(tick);
    if (stale_) {
        playAgain();  // an own press shows at once, whatever tick it is for
    }
}

void PredictedMatch::dropOwn(std::uint32_t seq) {
    const auto mine =
        std::find_if(own_.begin(), own_.end(), [&](const Input& i) { return i.seq == seq; });
    if (mine != own_.end()) {
        changedAt(actingTick(*mine));
        own_.erase(mine);
    }
}

// What the server has dealt with, and neither sent back nor refused, it took at its stamp: the
// first input of its tick, since one that came later for that tick would have been sent back.
// A stamp before the final match's next tick is in the final match already (a copy started
// again from the server's state holds such inputs of its own).
void PredictedMatch::settleOwn(std::uint32_t seq) {
    std::map<std::uint32_t, std::size_t> placed;  // own inputs put at the front of each tick
    std::erase_if(own_, [&](const Input& mine) {
        if (mine.seq > seq) {
            return false;
        }
        if (mine.tick >= firstOpenTick()) {
            auto& inputs = server_[mine.tick];
            const std::size_t before = placed[mine.tick]++;
            if (inputs.size() > before) {
                changedAt(mine.tick);  // it was shown after those, as the last of its tick
            }
            inputs.insert(inputs.begin() + static_cast<std::ptrdiff_t>(before), mine);
        } else {
            changedAt(actingTick(mine));
        }
        return true;
    });
}

bool PredictedMatch::finalTick(std::uint32_t tick, std::uint64_t digest, std::uint32_t ownSeq) {
    if (!started_) {
        return true;
    }
    settleOwn(ownSeq);
    // An own input for a tick that is final now acts after it.
    if (std::any_of(own_.begin(), own_.end(),
                    [&](const Input& mine) { return mine.tick <= tick; })) {
        stale_ = true;
    }
    if (startOpen_) {
        // Tick 0 is final too now, with the inputs that came for it.
        if (const auto inputs = server_.find(0); inputs != server_.end()) {
            final_.apply(inputs->second);
            server_.erase(inputs);
        }
        startOpen_ = false;
    }
    while (final_.tick() < tick) {
        const auto inputs = server_.find(final_.tick() + 1);
        if (inputs == server_.end()) {
            final_.step();
        } else {
            final_.step(inputs->second);
            server_.erase(inputs);
        }
    }
    if (shown_.tick() < final_.tick()) {
        stale_ = true;  // the present fell behind the final tick
    }
    return tick < final_.tick() || final_.digest() == digest;
}

void PredictedMatch::advanceTo(std::uint32_t present) {
    if (!started_) {
        return;
    }
    if (stale_) {
        playAgain();
    }
    playTo(std::min<std::uint64_t>(present, std::uint64_t(final_.tick()) + kMostAhead));
}

std::uint32_t PredictedMatch::finalTickNumber() const {
    return final_.tick();
}

online::Scene PredictedMatch::finalScene() const {
    return final_.scene();
}

std::uint32_t PredictedMatch::presentTick() const {
    return shown_.tick();
}

online::Scene PredictedMatch::scene() const {
    const auto& boxes = shown_.boxes();
    return boxes.empty() ? shown_.scene() : boxes.front().scene;
}

std::uint32_t PredictedMatch::actingTick(const Input& input) const {
    return std::max(input.tick, firstOpenTick());
}

std::span<const Input> PredictedMatch::inputsAt(std::uint32_t tick) {
    acting_.clear();
    if (const auto server = server_.find(tick); server != server_.end()) {
        acting_ = server->second;
    }
    for (const Input& mine : own_) {
        if (actingTick(mine) == tick) {
            acting_.push_back(mine);
        }
    }
    return acting_;
}

void PredictedMatch::changedAt(std::uint32_t tick) {
    if (tick <= shown_.tick()) {
        stale_ = true;
    }
}

// Back to the final tick and on again to the tick that was shown, and how far that moved what
// the screen showed.
void PredictedMatch::playAgain() {
    const std::uint32_t shownTick = std::max(shown_.tick(), final_.tick());
    const online::Scene before = scene();
    shown_.restore(final_.snapshot());
    stale_ = false;
    if (startOpen_) {
        shown_.apply(inputsAt(0));
    }
    playTo(shownTick);
    lastCorrection_ = jump(before, scene());
    corrections_ += lastCorrection_ > 0;
}

void PredictedMatch::playTo(std::uint32_t tick) {
    while (shown_.tick() < tick) {
        shown_.step(inputsAt(shown_.tick() + 1));
    }
}

}  // namespace voltaro::client
