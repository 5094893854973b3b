#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace voltaro::server {

// The reverse proxies in front of the server, whose word on who their client is counts: behind
// nginx every connection comes from nginx, and only X-Forwarded-For tells one player from
// another. What anyone else puts in that header is ignored.
class TrustedProxies {
  public:
    // Each ADDR or ADDR/BITS, IPv4 or IPv6; entries that are neither are left out.
    explicit TrustedProxies(const std::vector<std::string>& networks);

    static bool isNetwork(std::string_view text);
    bool trusts(std::string_view address) const;

    // Who a request from `peer` comes from, given its X-Forwarded-For (every such header, joined
    // by commas). The peer itself unless it is a trusted proxy; then the right-most address in
    // the header that is not one of them (what is left of that is the client's own word, and can
    // be forged), or the left-most when they all are.
    std::string clientOf(const std::string& peer, std::string_view forwarded) const;

  private:
    struct Network {
        std::array<unsigned char, 16> bytes{};  // IPv4 as IPv4-mapped IPv6
        int bits = 0;
    };
    static std::optional<Network> readNetwork(std::string_view text);
    static std::optional<std::array<unsigned char, 16>> readAddress(std::string_view text);

    std::vector<Network> networks_;
};

}  // namespace voltaro::server
