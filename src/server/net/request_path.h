#pragma once

#include <string_view>

namespace voltaro::server {

// The path of an HTTP request's target, without its query: what both the public port and the
// operator's port route on.
inline std::string_view pathOf(std::string_view target) {
    return target.substr(0, target.find('?'));
}

}  // namespace voltaro::server
