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

}  // namespace voltaro::online
