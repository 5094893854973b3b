#include "server/core/close_reason.h"

namespace voltaro::server {

namespace {

bool continuesACharacter(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

}  // namespace

std::string closeReason(std::string_view reason) {
    if (reason.size() <= kMaxCloseReason) {
        return std::string(reason);
    }
    // The first byte left out may belong to a character begun inside the limit: that character
    // goes too.
    std::size_t end = kMaxCloseReason;
    while (end > 0 && continuesACharacter(reason[end])) {
        --end;
    }
    return std::string(reason.substr(0, end));
}

}  // namespace voltaro::server
