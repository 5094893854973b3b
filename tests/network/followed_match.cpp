#include "followed_match.h"

#include <algorithm>

#include "online/snapshot.h"

namespace voltaro::server::testing {

namespace msg = online::server;
using online::Input;

namespace {

double millisecondsOf(FollowedMatch::TimePoint at) {
    return std::chrono::duration<double, std::milli>(at.time_since_epoch()).count();
}

}  // namespace

void FollowedMatch::take(const online::ServerMessage& message, TimePoint at) {
    if (const auto* pong = std::get_if<msg::Pong>(&message)) {
        if (!pings_.empty()) {
            clock_.pong(millisecondsOf(pings_.front()), pong->timeUs, millisecondsOf(at));
            pings_.pop_front();
        }
    } else if (const auto* started = std::get_if<msg::MatchStarted>(&message)) {
        start(*started, at);
    } else if (const auto* taken = std::get_if<msg::Input>(&message)) {
        if (taken->input.seat == seat_) {
            dropOwn(taken->input.seq);
        }
        input(taken->input);
    } else if (const auto* refused = std::get_if<msg::Refused>(&message)) {
        dropOwn(refused->seq);
        predicted_.dropOwn(refused->seq);
    } else if (const auto* final = std::get_if<msg::Final>(&message)) {
        finalTick(*final);
    } else if (const auto* paused = std::get_if<msg::Paused>(&message)) {
        input(Input{
            .kind = Input::Kind::Pause, .seat = online::Seat::Spectator, .tick = paused->tick});
    } else if (const auto* resumed = std::get_if<msg::Resumed>(&message)) {
        input(Input{
            .kind = Input::Kind::Resume, .seat = online::Seat::Spectator, .tick = resumed->tick});
    }
}

void FollowedMatch::start(const msg::MatchStarted& started, TimePoint at) {
    const auto snapshot = online::decodeSnapshot(started.state);
    if (!snapshot || !predicted_.start(started.tick, started.state)) {
        faults_.push_back("match " + std::to_string(started.match) +
                          ": a state that is no snapshot");
        return;
    }
    // A player coming back keeps counting its inputs: the server's seqs for it go on.
    if (started.match != match_) {
        seq_ = 0;
    }
    started_ = true;
    match_ = started.match;
    startUs_ = started.startUs;
    if (!clock_.known()) {
        clock_.heard(started.startUs + std::int64_t{started.tick} * online::TickMatch::kPeriodUs,
                     millisecondsOf(at));
    }
    plain_.emplace();
    plain_->restore(*snapshot);
    pending_.clear();
    startOpen_ = started.tick == 0;
    own_.clear();
}

void FollowedMatch::input(const Input& taken) {
    if (!started_) {
        faults_.push_back("an input before the match");
        return;
    }
    predicted_.confirmed(taken, seat_ == online::Seat::Spectator
                                    ? std::nullopt
                                    : std::optional<online::Seat>(seat_));
    // Inputs at the final tick itself are those of tick 0 of a match just started, which the
    // match as loaded takes before its first timer tick, or a pause or resume that adds nothing.
    if (taken.tick == plain_->tick() && !plain_->ended() && !startOpen_) {
        plain_->apply({&taken, 1});
    } else if (taken.tick < plain_->tick()) {
        faults_.push_back("an input for final tick " + std::to_string(taken.tick));
    } else {
        pending_[taken.tick].push_back(taken);
    }
}

void FollowedMatch::finalTick(const msg::Final& final) {
    if (!started_) {
        faults_.push_back("a final tick before the match");
        return;
    }
    const std::uint32_t ownSeq =
        seat_ == online::Seat::Red ? final.red : (seat_ == online::Seat::Blue ? final.blue : 0);
    settleOwn(ownSeq);
    if (startOpen_) {
        if (const auto inputs = pending_.find(0); inputs != pending_.end()) {
            plain_->apply(inputs->second);
            pending_.erase(inputs);
        }
        startOpen_ = false;
    }
    // Stepped as the server steps its own copy: every tick, whatever the match is doing.
    while (plain_->tick() < final.tick) {
        const std::uint32_t next = plain_->tick() + 1;
        const auto inputs = pending_.find(next);
        if (inputs == pending_.end()) {
            plain_->step();
        } else {
            plain_->step(inputs->second);
            pending_.erase(inputs);
        }
    }
    const bool predictionAgreed = predicted_.finalTick(final.tick, final.digest, ownSeq);
    finals_.push_back({.match = match_,
                       .tick = final.tick,
                       .scene = plain_->scene(),
                       .digestAgreed = plain_->digest() == final.digest,
                       .predictionAgreed = predictionAgreed});
}

void FollowedMatch::dropOwn(std::uint32_t seq) {
    std::erase_if(own_, [&](const Input& mine) { return mine.seq == seq; });
}

void FollowedMatch::settleOwn(std::uint32_t seq) {
    std::map<std::uint32_t, std::ptrdiff_t> placed;  // at the front of each tick, in order
    std::erase_if(own_, [&](const Input& mine) {
        if (mine.seq > seq) {
            return false;
        }
        if (mine.tick < plain_->tick() + (startOpen_ ? 0 : 1)) {
            faults_.push_back("own input " + std::to_string(mine.seq) +
                              " neither sent back nor at its stamp");
            return true;
        }
        auto& inputs = pending_[mine.tick];
        inputs.insert(inputs.begin() + placed[mine.tick]++, mine);
        return true;
    });
}

bool FollowedMatch::everyFinalAgreed() const {
    return faults_.empty() && !finals_.empty() &&
           std::all_of(finals_.begin(), finals_.end(), [](const FinalSeen& final) {
               return final.digestAgreed && final.predictionAgreed;
           });
}

std::uint32_t FollowedMatch::presentTick(TimePoint now) const {
    if (!started_ || !clock_.known()) {
        return 0;
    }
    const std::int64_t sinceStart = clock_.serverUs(millisecondsOf(now)) - startUs_;
    return sinceStart <= 0 ? 0
                           : static_cast<std::uint32_t>(sinceStart / online::TickMatch::kPeriodUs);
}

Input FollowedMatch::own(Input::Kind kind, std::int16_t key, TimePoint now) {
    Input input{.kind = kind, .seat = seat_, .tick = presentTick(now), .seq = ++seq_, .key = key};
    // Never behind what the predicted match already stands at (the clock may step back a little
    // when a faster pong comes in).
    predicted_.advanceTo(input.tick);
    if (input.tick < predicted_.presentTick()) {
        input.tick = predicted_.presentTick();
    }
    predicted_.predicted(input);
    own_.push_back(input);
    return input;
}

online::Scene FollowedMatch::shown(TimePoint now) {
    predicted_.advanceTo(presentTick(now));
    return predicted_.scene();
}

}  // namespace voltaro::server::testing
