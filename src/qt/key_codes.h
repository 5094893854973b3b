#pragma once

#include <cstdint>

class QKeyEvent;

namespace voltaro {

// The classic host's key code for a key press: 37..40 for the arrows, a letter's upper-case
// character code whatever Shift or Caps Lock, and the desktop's usual codes for the other keys
// (space 32, Enter 13, digits 48..57, ...). A key it has no code for gives 0.
std::int16_t hostKeyCode(const QKeyEvent& event);
std::int16_t hostKeyCode(int qtKey, bool onKeypad);

}  // namespace voltaro
