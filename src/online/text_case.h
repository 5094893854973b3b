#pragma once

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

namespace voltaro::online {

// `text` in lower case, ASCII only: how host names, schemes and codes compare whatever their
// spelling.
inline std::string lowered(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

// The value of a hexadecimal digit in either case, or -1: percent escapes and the bits of a
// saved match are read with it.
constexpr int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace voltaro::online
