#pragma once

#include <QStringList>
#include <cstdint>

namespace voltaro {

// Where a friend joins a match this machine hosts on `port`, as links write them
// (http://host:port/): its addresses on its networks, IPv4 first and IPv6 if it listens there,
// then itself.
QStringList hostAddresses(std::uint16_t port, bool ipv6);

}  // namespace voltaro
