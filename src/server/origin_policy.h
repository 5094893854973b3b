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
class OriginPolicy {
  public:
    explicit OriginPolicy(std::vector<std::string> extra);

    // `origin` is nothing when the handshake had no Origin header.
    bool allows(std::optional<std::string_view> origin, std::string_view host) const;

  private:
    std::vector<std::string> extra_;  // normalised
};

}  // namespace voltaro::server
