#include "server/core/match_host.h"

#include <algorithm>
#include <utility>

#include "online/snapshot.h"

namespace voltaro::server {

namespace {

using online::Input;
using online::Seat;

constexpr Duration kPeriod = std::chrono::microseconds(online::TickMatch::kPeriodUs);

// The settings a player's match takes from tick 0 on, as an input of the server's own.
Input repeatInput(Seat player, online::RepeatTiming repeat) {
    return {.kind = Input::Kind::KeyRepeat,
            .seat = player,
            .tick = 0,
            .seq = 0,
            .delayUs = repeat.delayUs,
            .intervalUs = repeat.intervalUs};
}

}  // namespace

MatchHost::MatchHost(Duration start, MatchRecord record,
                     std::array<online::RepeatTiming, 2> repeats)
    // On whole microseconds, as the clients are told it: their present tick is the server's.
    : start_(std::chrono::floor<std::chrono::microseconds>(start)),
      record_(std::move(record)),
      final_(&record_),
      gate_(start, repeats) {
    // Before any player's input: everyone's state has the settings in it.
    const Input settings[] = {repeatInput(Seat::Red, repeats[0]),
                              repeatInput(Seat::Blue, repeats[1])};
    final_.apply(settings);
}

std::uint32_t MatchHost::presentTick(Duration now) const {
    return now > start_ ? static_cast<std::uint32_t>((now - start_) / kPeriod) : 0;
}

std::int64_t MatchHost::startUs() const {
    return std::chrono::duration_cast<std::chrono::microseconds>(start_).count();
}

MatchHost::Taking MatchHost::take(Input input, Duration now) {
    if (final_.paused() || final_.ended()) {
        gate_.note(input);
        return {InputGate::Verdict::Dropped, input};
    }
    const InputGate::Verdict verdict = gate_.pass(input, now);
    if (verdict != InputGate::Verdict::Taken) {
        return {verdict, input};
    }
    // Within the window, and never at a tick that is final already.
    const std::uint32_t stamp = input.tick;
    input.tick = std::max(online::actingTick(stamp, presentTick(now)), oldestOpen_);
    const auto at =
        std::upper_bound(open_.begin(), open_.end(), input.tick,
                         [](std::uint32_t tick, const Input& i) { return tick < i.tick; });
    const bool first = at == open_.begin() || std::prev(at)->tick != input.tick;
    open_.insert(at, input);
    return {verdict, input, input.tick != stamp || !first};
}

void MatchHost::finaliseThrough(std::uint32_t last) {
    auto next = open_.begin();
    if (oldestOpen_ == final_.tick()) {  // the start: inputs at tick 0 act before its timers
        next = std::find_if(open_.begin(), open_.end(), [](const Input& i) { return i.tick != 0; });
        final_.apply(std::span<const Input>(open_.begin(), next));
    }
    while (final_.tick() < last && !final_.ended()) {
        const std::uint32_t tick = final_.tick() + 1;
        const auto end =
            std::find_if(next, open_.end(), [tick](const Input& i) { return i.tick != tick; });
        final_.step(std::span<const Input>(next, end));
        next = end;
    }
    open_.erase(open_.begin(), next);
    if (final_.ended()) {
        open_.clear();  // what came for the ticks after the end never happens
    }
    oldestOpen_ = final_.tick() + 1;
}

bool MatchHost::finalise(Duration now) {
    if (final_.paused() || final_.ended()) {
        return false;
    }
    const std::uint32_t present = presentTick(now);
    if (present < online::kWindowTicks + 1) {
        return false;
    }
    // Batches end on whole steps, however late the wake-up: the final ticks the members hear of
    // come at a steady pace, and a late one is only late.
    std::uint32_t last = present - online::kWindowTicks - 1;
    last -= last % kStepEveryTicks;
    if (last < oldestOpen_) {
        return false;  // no step has left the window since the last batch
    }
    finaliseThrough(last);
    return true;
}

Duration MatchHost::nextWakeUp() const {
    if (final_.paused() || final_.ended()) {
        return Duration::max();
    }
    // When the ticks up to the next whole step have all left the window.
    const std::uint32_t step = (final_.tick() / kStepEveryTicks + 1) * kStepEveryTicks;
    const auto due = Duration::rep{step} + online::kWindowTicks + 1;
    return start_ + due * kPeriod;
}

void MatchHost::applyServerInput(Input::Kind kind) {
    const Input input{.kind = kind, .seat = Seat::Spectator, .tick = final_.tick()};
    final_.apply(std::span(&input, 1));
}

std::uint32_t MatchHost::pause(Duration now) {
    if (final_.paused() || final_.ended()) {
        return final_.tick();
    }
    // Never at a final tick, which no copy would change; and the inputs taken so far all act
    // (the first tick after a resume may lie after the present one).
    std::uint32_t last = std::max(presentTick(now), oldestOpen_);
    if (!open_.empty()) {
        last = std::max(last, open_.back().tick);
    }
    finaliseThrough(last);
    // After a goal met on the way too: every copy puts the pause at the tick it names.
    applyServerInput(Input::Kind::Pause);
    gate_.releaseAll();
    return final_.tick();
}

std::uint32_t MatchHost::resume(Duration now) {
    if (!final_.paused() || final_.ended()) {
        return final_.tick();
    }
    // Never at the final tick of the pause, which no copy would change.
    finaliseThrough(std::max(presentTick(now), oldestOpen_));  // ticks that run nothing
    applyServerInput(Input::Kind::Resume);
    return final_.tick();
}

std::string MatchHost::state() const {
    return online::encode(final_.snapshot());
}

}  // namespace voltaro::server
