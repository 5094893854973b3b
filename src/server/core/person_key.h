#pragma once

#include <string>
#include <string_view>

namespace voltaro::server {

// The key under which the server counts one person's connections, rooms and guesses: an IPv4
// address as it is, an IPv6 address by its /64 (one home or phone is given a whole /64, and
// could take a new address from it for every connection), an IPv4-mapped IPv6 address as the
// IPv4 address it maps. Text that is no address is its own key.
std::string personKey(std::string_view address);

}  // namespace voltaro::server
