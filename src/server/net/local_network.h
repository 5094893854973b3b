#pragma once

#include <string_view>

namespace voltaro::server {

// Whether a peer's address (as Asio writes it) belongs to this machine or a private network:
// loopback, IPv4's private and link-local ranges, IPv6's unique local and link-local ranges, and
// IPv4 addresses mapped into IPv6. A game hosting a match on a home network lets such a friend in
// without the match's code; a global address, reachable from anywhere, still needs it.
bool onLocalNetwork(std::string_view address);

}  // namespace voltaro::server
