#include "server/net/origin_policy.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <utility>

#include "online/text_case.h"

namespace voltaro::server {

namespace {

using online::lowered;

// host[:port] without the scheme's default port, lower case: how two spellings of one address
// compare equal.
std::string authorityWithoutDefaultPort(std::string_view scheme, std::string_view authority) {
    std::string result = lowered(authority);
    const std::string defaultPort = scheme == "https" || scheme == "wss" ? ":443" : ":80";
    if (result.ends_with(defaultPort)) {
        result.resize(result.size() - defaultPort.size());
    }
    return result;
}

// scheme://authority, normalised; empty when `origin` is no such thing.
std::string normalisedOrigin(std::string_view origin) {
    const auto separator = origin.find("://");
    if (separator == std::string_view::npos) {
        return {};
    }
    const std::string scheme = lowered(origin.substr(0, separator));
    return scheme + "://" + authorityWithoutDefaultPort(scheme, origin.substr(separator + 3));
}

// The host of host[:port] or [v6]:port, without the brackets and without a final dot.
std::string hostOf(std::string_view authority) {
    std::string host;
    if (authority.starts_with('[')) {
        host = authority.substr(1, authority.find(']') - 1);
    } else {
        host = authority.substr(0, authority.rfind(':'));
    }
    if (host.ends_with('.')) {
        host.pop_back();
    }
    return lowered(host);
}

bool isIpLiteral(const std::string& host) {
    unsigned char bytes[16];
    return inet_pton(AF_INET, host.c_str(), bytes) == 1 ||
           inet_pton(AF_INET6, host.c_str(), bytes) == 1;
}

}  // namespace

OriginPolicy::OriginPolicy(std::vector<std::string> extra, std::vector<std::string> names) {
    for (const std::string& origin : extra) {
        extra_.push_back(normalisedOrigin(origin));
        const auto separator = extra_.back().find("://");
        if (separator != std::string::npos) {
            names_.push_back(hostOf(std::string_view(extra_.back()).substr(separator + 3)));
        }
    }
    for (const std::string& name : names) {
        names_.push_back(hostOf(name));
    }
}

bool OriginPolicy::answersTo(std::string_view host) const {
    if (host.empty()) {
        return true;  // HTTP/1.0 from a program: no browser sends a request without Host
    }
    const std::string name = hostOf(host);
    return name == "localhost" || isIpLiteral(name) ||
           std::find(names_.begin(), names_.end(), name) != names_.end();
}

bool OriginPolicy::allows(std::optional<std::string_view> origin, std::string_view host) const {
    if (!origin) {
        return true;
    }
    const std::string normalised = normalisedOrigin(*origin);
    if (normalised.empty()) {
        return false;  // "null" (a sandboxed or local page) or garbage
    }
    if (std::find(extra_.begin(), extra_.end(), normalised) != extra_.end()) {
        return true;
    }
    const auto separator = normalised.find("://");
    const std::string_view scheme = std::string_view(normalised).substr(0, separator);
    return !host.empty() &&
           normalised.substr(separator + 3) == authorityWithoutDefaultPort(scheme, host);
}

}  // namespace voltaro::server
