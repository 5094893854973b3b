#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "scene/key_repeat.h"

namespace voltaro::online {

// The keys one player of an online match holds, and their repeats. One direction is one held
// key, whichever of its keys holds it: an arrow and its letter held together repeat once, and
// the direction stays held until the last of its keys is let go. Nobody holds more keys than a
// keyboard's rollover allows; every held key repeats and each repeat runs the form, so a press
// beyond that is turned away.
class PlayerKeys {
  public:
    using Duration = KeyRepeat::Duration;
    static constexpr std::size_t kMostHeld = 10;

    enum class Press {
        New,      // the first key of what it does: one press for the form, then repeats
        Held,     // what it does is held already (by this key or another)
        TooMany,  // the player holds kMostHeld keys already: ignored
    };

    PlayerKeys(Duration delay, Duration interval);

    // `key` as the player's keyboard sent it, `code` what it does in the form.
    Press press(std::int16_t key, std::int16_t code, Duration now);
    void release(std::int16_t key);
    void releaseAll();
    // Whether the keyboard's `key` is down, and whether any key is.
    bool holdsKey(std::int16_t key) const;
    bool anyHeld() const { return !held_.empty(); }

    KeyRepeat& repeats() { return repeats_; }
    const KeyRepeat& repeats() const { return repeats_; }

    struct Held {
        std::int16_t key;
        std::int16_t code;
        friend bool operator==(const Held&, const Held&) = default;
    };
    // All the player's keys hold, for a snapshot of the match.
    struct State {
        std::vector<Held> held;
        KeyRepeat::State repeats;
        friend bool operator==(const State&, const State&) = default;
    };
    State state() const { return {held_, repeats_.state()}; }
    void restore(const State& state);

  private:
    bool holds(std::int16_t code) const;

    KeyRepeat repeats_;  // one per code held
    std::vector<Held> held_;
};

}  // namespace voltaro::online
