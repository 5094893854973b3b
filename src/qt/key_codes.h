#pragma once

#include <cstdint>

class QKeyEvent;

namespace voltaro {

// The classic host's key code for a key press: 37..40 for the arrows, a letter's upper-case
// character code whatever Shift or Caps Lock, and the desktop's usual codes for the other keys
// (space 32, Enter 13, digits 48..57, ...). A key it has no code for gives 0.
//
// Letters follow the layout where it types Latin letters: the key labelled A gives 65 on a
// French AZERTY keyboard too. A key that types a letter of another script (Cyrillic, Greek,
// Hebrew, Arabic, kana ...) gives the code of the key in its place on a US keyboard (a letter,
// or punctuation such as ; for the Russian Ж), found from its XKB key code, so that the W, A,
// S and D places play blue on every layout.
std::int16_t hostKeyCode(const QKeyEvent& event);
std::int16_t hostKeyCode(int qtKey, bool onKeypad, std::uint32_t xkbKeycode = 0);

// The classic code of the letter or punctuation key in an XKB key code's place on a US
// keyboard's three letter rows, or 0 for a place outside them.
std::int16_t usKeyCodeAt(std::uint32_t xkbKeycode);

}  // namespace voltaro
