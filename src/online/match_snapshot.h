#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "game/match_state.h"
#include "online/player_keys.h"
#include "online/scene.h"
#include "scene/paced_timers.h"

namespace voltaro::online {

// A message box an online match showed, over the scene as it stood when it opened.
struct MatchBox {
    std::string text;
    Scene scene;
    friend bool operator==(const MatchBox&, const MatchBox&) = default;
};

// Everything that decides what an online match does from its tick on: the form's moving parts
// and variables, the timers' deadlines, both players' held keys with their repeats, and what
// has ended it. Times are from the match's start, in the paced grid's own units.
struct MatchSnapshot {
    std::uint32_t tick = 0;
    bool paused = false;
    bool ended = false;
    Scene scene;      // the pieces' places and the counters
    MatchState form;  // Form1's variables: the ball's directions and the box snapshot
    std::vector<PacedTimers::Duration> timers;  // each timer's next deadline, in list order
    std::array<PlayerKeys::State, 2> keys;      // red's, blue's
    std::vector<MatchBox> boxes;
    friend bool operator==(const MatchSnapshot&, const MatchSnapshot&) = default;
};

}  // namespace voltaro::online
