#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "online/protocol.h"
#include "online/snapshot.h"
#include "online/tick_match.h"

namespace voltaro::server::test {

// A client's final copy of a match, followed from the messages one connection got and the
// inputs it sent: restored from matchStarted, fed every input, pause and resume at its tick in
// the order they came, and played on to each final tick, where its digest must be the server's.
// A player's own input that the final tick says was dealt with, and that came neither back nor
// refused, acts at its stamp ahead of the others of its tick. It keeps the scene it had at every
// tick made final.
class MatchFollower {
  public:
    void read(const online::ServerMessage& message) {
        namespace msg = online::server;
        if (const auto* seated = std::get_if<msg::Seated>(&message)) {
            seat_ = seated->seat;
        } else if (const auto* started = std::get_if<msg::MatchStarted>(&message)) {
            start(*started);
        } else if (const auto* refused = std::get_if<msg::Refused>(&message)) {
            dropOwn(refused->seq);
        } else if (const auto* input = std::get_if<msg::Input>(&message)) {
            if (input->input.seat == seat_) {
                dropOwn(input->input.seq);
            }
            add(input->input);
        } else if (const auto* paused = std::get_if<msg::Paused>(&message)) {
            add({.kind = online::Input::Kind::Pause,
                 .seat = online::Seat::Spectator,
                 .tick = paused->tick});
        } else if (const auto* resumed = std::get_if<msg::Resumed>(&message)) {
            add({.kind = online::Input::Kind::Resume,
                 .seat = online::Seat::Spectator,
                 .tick = resumed->tick});
        } else if (const auto* final = std::get_if<msg::Final>(&message)) {
            settleOwn(seat_ == online::Seat::Red ? final->red : final->blue);
            finalTick(*final);
        }
    }
    // An input this connection's player sent (its seat is the connection's), as its match
    // played it at once.
    void sent(online::Input input) {
        if (seat_ != online::Seat::Spectator) {
            input.seat = seat_;
            own_.push_back(input);
        }
    }

    bool started() const { return started_; }
    // The present tick of the match at the server's time `now`, as a client reckons it.
    std::uint32_t presentTick(std::chrono::nanoseconds now) const {
        const auto us = std::chrono::duration_cast<std::chrono::microseconds>(now).count();
        return us > startUs_
                   ? static_cast<std::uint32_t>((us - startUs_) / online::TickMatch::kPeriodUs)
                   : 0;
    }
    // Every final tick so far had the server's digest.
    bool agreed() const { return agreed_; }
    std::uint32_t finals() const { return finals_; }
    std::uint32_t finalTick() const { return match_.tick(); }
    const online::TickMatch& match() const { return match_; }
    // The scene at every tick made final so far, by tick.
    const std::map<std::uint32_t, online::Scene>& scenes() const { return scenes_; }
    // Every player's input in the ticks made final, in the order the match played them.
    const std::vector<online::Input>& inputs() const { return inputs_; }

  private:
    void start(const online::server::MatchStarted& started) {
        const auto snapshot = online::decodeSnapshot(started.state);
        ASSERT_TRUE(snapshot) << "not a snapshot: " << started.state;
        match_.restore(*snapshot);
        startUs_ = started.startUs;
        startOpen_ = started.tick == 0;
        EXPECT_EQ(match_.tick(), started.tick);
        open_.clear();
        own_.clear();
        started_ = true;
        scenes_[match_.tick()] = match_.scene();
    }

    // An input for a final tick changes nothing: a pause that a late comer's state has already,
    // or one that says only who else is away. A player's never comes so.
    void add(const online::Input& input) {
        EXPECT_TRUE(started_) << "an input before the match";
        const bool server =
            input.kind == online::Input::Kind::Pause || input.kind == online::Input::Kind::Resume;
        if (input.tick < firstOpenTick()) {
            EXPECT_TRUE(server) << "a player's input for a final tick";
            return;
        }
        const auto at = std::upper_bound(
            open_.begin(), open_.end(), input.tick,
            [](std::uint32_t tick, const online::Input& i) { return tick < i.tick; });
        open_.insert(at, input);
    }
    void dropOwn(std::uint32_t seq) {
        std::erase_if(own_, [&](const online::Input& mine) { return mine.seq == seq; });
    }
    void settleOwn(std::uint32_t seq) {
        std::erase_if(own_, [&](const online::Input& mine) {
            if (mine.seq > seq) {
                return false;
            }
            EXPECT_GE(mine.tick, firstOpenTick()) << "not sent back, yet not at its stamp";
            const auto at = std::lower_bound(
                open_.begin(), open_.end(), mine.tick,
                [](const online::Input& i, std::uint32_t tick) { return i.tick < tick; });
            open_.insert(at, mine);
            return true;
        });
    }
    void played(std::span<const online::Input> inputs) {
        for (const online::Input& input : inputs) {
            if (input.kind != online::Input::Kind::Pause &&
                input.kind != online::Input::Kind::Resume) {
                inputs_.push_back(input);
            }
        }
    }

    // At the start tick 0 is open until the first final tick.
    std::uint32_t firstOpenTick() const { return match_.tick() + (startOpen_ ? 0 : 1); }

    // Inputs at the tick the match stands at act there; then tick by tick.
    void finalTick(const online::server::Final& final) {
        ASSERT_TRUE(started_);
        EXPECT_GE(final.tick, match_.tick());
        auto next = open_.begin();
        const auto through = [&](std::uint32_t tick) {
            return std::find_if(next, open_.end(),
                                [tick](const online::Input& i) { return i.tick != tick; });
        };
        auto end = through(match_.tick());
        match_.apply(std::span<const online::Input>(next, end));
        played({next, end});
        scenes_[match_.tick()] = match_.scene();
        next = end;
        while (match_.tick() < final.tick) {
            end = through(match_.tick() + 1);
            match_.step(std::span<const online::Input>(next, end));
            played({next, end});
            scenes_[match_.tick()] = match_.scene();
            next = end;
        }
        open_.erase(open_.begin(), next);
        ++finals_;
        startOpen_ = false;
        if (match_.digest() != final.digest) {
            agreed_ = false;
            ADD_FAILURE() << "the digest at tick " << final.tick << " differs";
        }
    }

    online::TickMatch match_;
    std::vector<online::Input> open_;
    std::vector<online::Input> own_;  // sent, not dealt with yet
    std::vector<online::Input> inputs_;
    online::Seat seat_ = online::Seat::Spectator;
    std::map<std::uint32_t, online::Scene> scenes_;
    std::int64_t startUs_ = 0;
    std::uint32_t finals_ = 0;
    bool startOpen_ = false;
    bool started_ = false;
    bool agreed_ = true;
};

}  // namespace voltaro::server::test
