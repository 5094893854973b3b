#include "server/net/trusted_proxies.h"

#include <arpa/inet.h>

#include <algorithm>
#include <charconv>

namespace voltaro::server {

namespace {

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool sameNetwork(const std::array<unsigned char, 16>& a, const std::array<unsigned char, 16>& b,
                 int bits) {
    const auto whole = static_cast<std::size_t>(bits / 8);
    if (!std::equal(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(whole), b.begin())) {
        return false;
    }
    const int rest = bits % 8;
    if (rest == 0) {
        return true;
    }
    const auto mask = static_cast<unsigned char>(0xFF << (8 - rest));
    return (a[whole] & mask) == (b[whole] & mask);
}

}  // namespace

TrustedProxies::TrustedProxies(const std::vector<std::string>& networks) {
    for (const std::string& text : networks) {
        if (const auto network = readNetwork(text)) {
            networks_.push_back(*network);
        }
    }
}

bool TrustedProxies::isNetwork(std::string_view text) {
    return readNetwork(text).has_value();
}

// An IPv4 or IPv6 address (an IPv6 one possibly in brackets, or with a zone), as 16 bytes.
std::optional<std::array<unsigned char, 16>> TrustedProxies::readAddress(std::string_view text) {
    text = trimmed(text);
    if (text.size() > 2 && text.front() == '[' && text.back() == ']') {
        text = text.substr(1, text.size() - 2);
    }
    std::string address(text.substr(0, text.find('%')));
    std::array<unsigned char, 16> bytes{};
    if (inet_pton(AF_INET6, address.c_str(), bytes.data()) == 1) {
        return bytes;
    }
    bytes.fill(0);
    bytes[10] = bytes[11] = 0xFF;
    if (inet_pton(AF_INET, address.c_str(), bytes.data() + 12) == 1) {
        return bytes;
    }
    return std::nullopt;
}

std::optional<TrustedProxies::Network> TrustedProxies::readNetwork(std::string_view text) {
    const auto slash = text.find('/');
    const auto bytes = readAddress(text.substr(0, slash));
    if (!bytes) {
        return std::nullopt;
    }
    const bool v4 = text.substr(0, slash).find(':') == std::string_view::npos;
    const int most = v4 ? 32 : 128;
    int bits = most;
    if (slash != std::string_view::npos) {
        const std::string_view digits = text.substr(slash + 1);
        const auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), bits);
        if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
            bits < 0 || bits > most) {
            return std::nullopt;
        }
    }
    return Network{*bytes, v4 ? bits + 96 : bits};
}

bool TrustedProxies::trusts(std::string_view address) const {
    const auto bytes = readAddress(address);
    return bytes && std::any_of(networks_.begin(), networks_.end(), [&](const Network& network) {
               return sameNetwork(*bytes, network.bytes, network.bits);
           });
}

std::string TrustedProxies::clientOf(const std::string& peer, std::string_view forwarded) const {
    std::string client = peer;
    while (trusts(client) && !forwarded.empty()) {
        const auto comma = forwarded.rfind(',');
        const std::string_view hop =
            trimmed(comma == std::string_view::npos ? forwarded : forwarded.substr(comma + 1));
        forwarded =
            comma == std::string_view::npos ? std::string_view() : forwarded.substr(0, comma);
        if (hop.empty()) {
            continue;
        }
        if (!readAddress(hop)) {
            break;  // garbage: nothing further left can be believed either
        }
        client = std::string(hop.front() == '[' ? hop.substr(1, hop.size() - 2) : hop);
    }
    return client;
}

}  // namespace voltaro::server
