#pragma once

#include <array>
#include <string_view>

#include "online/input.h"

namespace voltaro::online {

// An input's kind as the messages name it, in the order of Input::Kind. Pause and resume are the
// server's own and travel as messages of their own: no `input` message names them.
inline constexpr std::array<std::string_view, 6> kInputKindNames = {
    "keyDown", "keyUp", "focusLost", "keyRepeat", "pause", "resume"};
inline constexpr std::size_t kSentInputKinds = 4;  // the players' kinds, first in the list

inline constexpr std::string_view inputKindName(Input::Kind kind) {
    return kInputKindNames[static_cast<std::size_t>(kind)];
}

}  // namespace voltaro::online
