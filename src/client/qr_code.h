#pragma once

#include <string_view>
#include <vector>

namespace voltaro::client {

// A QR code's modules: `size` by `size`, row by row, true for dark. It has no quiet zone of its
// own: whoever draws it leaves four modules of light around it.
struct QrModules {
    int size = 0;
    std::vector<bool> dark;

    bool empty() const { return size == 0; }
    bool at(int x, int y) const { return dark[static_cast<std::size_t>(y * size + x)]; }
};

// The QR code of `text` (a link to join, watch or replay a match), at the medium level of error
// correction, which a phone's camera reads from a screen across a room; empty when the text is
// too long for any QR code.
QrModules qrModules(std::string_view text);

}  // namespace voltaro::client
