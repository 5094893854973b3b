#include "server/core/person_key.h"

#include <arpa/inet.h>

#include <algorithm>
#include <array>

namespace voltaro::server {

namespace {

// ::ffff:a.b.c.d, how a socket listening on IPv6 sees an IPv4 peer.
bool isMappedIpv4(const std::array<unsigned char, 16>& bytes) {
    return std::all_of(bytes.begin(), bytes.begin() + 10, [](unsigned char b) { return b == 0; }) &&
           bytes[10] == 0xff && bytes[11] == 0xff;
}

}  // namespace

std::string personKey(std::string_view address) {
    std::string text(address);
    if (const auto zone = text.find('%'); zone != std::string::npos) {
        text.resize(zone);  // fe80::1%eth0: the interface does not make another person
    }
    std::array<unsigned char, 16> bytes{};
    if (inet_pton(AF_INET6, text.c_str(), bytes.data()) != 1) {
        return text;
    }
    char printed[INET6_ADDRSTRLEN] = {};
    if (isMappedIpv4(bytes)) {
        inet_ntop(AF_INET, bytes.data() + 12, printed, sizeof printed);
        return printed;
    }
    std::fill(bytes.begin() + 8, bytes.end(), 0);
    inet_ntop(AF_INET6, bytes.data(), printed, sizeof printed);
    return std::string(printed) + "/64";
}

}  // namespace voltaro::server
