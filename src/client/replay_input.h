#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace voltaro::replay {

// What the replay tool accepts on a script line, apart from the commands themselves.

// True when `text` is well-formed UTF-8: no stray or missing continuation bytes, no overlong
// forms, no surrogates, nothing past U+10FFFF.
bool isUtf8(std::string_view text);

// A key code: an optional sign and decimal digits with an optional fraction, naming a whole
// number within -32768..32767 ("65", "+65", "-0", "65.0").
std::optional<std::int16_t> keyCode(std::string_view text);

// A shape property: the key code's grammar plus an optional exponent ("-12.5", "3e2"), read as
// the nearest 32-bit float. Nothing that would not be finite; a value too small to tell from 0
// is 0.
std::optional<float> propertyValue(std::string_view text);

// A bad line as it may be shown on a terminal: its first 80 characters, with control
// characters and bytes that are not UTF-8 written as escapes, and "..." when it goes on.
std::string echo(std::string_view line);

}  // namespace voltaro::replay
