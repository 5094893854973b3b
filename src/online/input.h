#pragma once

#include <cstdint>

#include "online/seat.h"

namespace voltaro::online {

// One thing that reaches an online match at a tick: a player's key, the loss of their keyboard,
// their repeat settings, or the server's pause and resume of the whole match. The server decides
// the tick and the order; every client plays the same inputs in the same order on its own Form1
// and so ends up with the server's scene.
struct Input {
    enum class Kind : std::uint8_t {
        KeyDown,    // `key` went down (a new press: never the keyboard's own repeat)
        KeyUp,      // `key` went up
        FocusLost,  // the player's window lost the keyboard: every key of theirs is up
        KeyRepeat,  // the player's repeat settings from now on
        Pause,      // a player is away: every held key is up and no tick runs from the next one
        Resume,     // play goes on: ticks up to this one are dropped, the next one runs
    };
    Kind kind = Kind::KeyDown;
    Seat seat = Seat::Red;  // Spectator for Pause and Resume
    // The tick after whose timers and repeats the input acts.
    std::uint32_t tick = 0;
    // The sender's own count of its inputs, from 1; 0 for the server's own.
    std::uint32_t seq = 0;
    // KeyDown, KeyUp: the key as the player's keyboard sent it (a virtual key code). The match
    // turns an arrow or its letter into the sender's own piece's key.
    std::int16_t key = 0;
    // KeyRepeat, in microseconds, within the protocol's bounds (clampedRepeat).
    std::uint32_t delayUs = 500000;
    std::uint32_t intervalUs = 33333;
    friend bool operator==(const Input&, const Input&) = default;
};

}  // namespace voltaro::online
