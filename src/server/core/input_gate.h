#pragma once

#include <array>
#include <cstdint>

#include "online/input.h"
#include "online/player_keys.h"
#include "online/protocol.h"
#include "server/core/duration.h"
#include "server/core/token_bucket.h"

namespace voltaro::server {

// The defences a player's input passes as it arrives, before the match gives it a tick. Every
// input taken goes to every member of the room, so what changes nothing is not taken either: a
// key-down of a key already down (a keyboard's own repeat), a key-up of a key not down, a lost
// focus with nothing held, repeat settings the player has already.
class InputGate {
  public:
    enum class Verdict {
        Taken,
        TooManyKeys,  // the player holds as many keys as a keyboard can: a refusal to count
        Dropped,      // beyond the press allowance, or changing nothing
    };

    // The repeat settings each player's match starts with (red's, blue's).
    InputGate(Duration now, std::array<online::RepeatTiming, 2> repeats);

    // `input` as the player sent it (its kind, key or settings, and stamp); its seq is noted
    // as dealt with whatever the verdict.
    Verdict pass(const online::Input& input, Duration now);
    // An input that came while no tick may take it: only its seq is dealt with.
    void note(const online::Input& input) { of(input.seat).lastSeq = input.seq; }
    // Every key is up: the match paused, and what the players let go meanwhile went elsewhere.
    void releaseAll();

    // The last seq of that player dealt with, taken or turned away.
    std::uint32_t lastSeq(online::Seat player) const { return of(player).lastSeq; }
    online::RepeatTiming repeat(online::Seat player) const { return of(player).repeat; }

  private:
    struct Player {
        Player(Duration now, online::RepeatTiming repeat);
        // The keys down and the rule of held directions, as the match has them.
        online::PlayerKeys keys;
        // kPressBurst presses at once, refilled at kPressesPerSecond; repeat settings too.
        TokenBucket presses;
        online::RepeatTiming repeat;
        std::uint32_t lastSeq = 0;
    };

    Player& of(online::Seat player) { return players_[player == online::Seat::Red ? 0 : 1]; }
    const Player& of(online::Seat player) const {
        return players_[player == online::Seat::Red ? 0 : 1];
    }
    static Verdict keyDown(Player& p, const online::Input& input, Duration now);
    static Verdict keyUp(Player& p, const online::Input& input);

    std::array<Player, 2> players_;
};

}  // namespace voltaro::server
