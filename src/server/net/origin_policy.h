#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace voltaro::server {

// Which pages may open a match connection. A browser names the page's origin in every WebSocket
// handshake; a page of another site must not be able to play, or watch, through its visitors'
// browsers. Pages from the server's own address (the Host the browser asked for) and the origins
// given are accepted; a handshake with no Origin comes from a program, not a page, and is
// accepted too.
//
// And which host names the server answers to at all: an IP address, localhost, a name given
// with --name or the host of a given origin. A site whose name an attacker points at this
// server's address (DNS rebinding) sends its own name in Host, and is refused.
class OriginPolicy {
  public:
    explicit OriginPolicy(std::vector<std::string> extra, std::vector<std::string> names = {});

    // `host` is the Host header, with or without a port; an empty one is no browser's.
    bool answersTo(std::string_view host) const;

    // `origin` is nothing when the handshake had no Origin header.
    bool allows(std::optional<std::string_view> origin, std::string_view host) const;

  private:
    std::vector<std::string> extra_;  // normalised
    std::vector<std::string> names_;  // lower case, without a port
};

}  // namespace voltaro::server
