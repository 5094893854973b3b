// The page's pads: the page reads navigator.getGamepads() once a frame and hands each pad's
// buttons and left stick over; the module decides what they press, as the desktop game does.
// The presses are handed back through pad_imports.js and carried out by the page once the
// read has returned, so the game is never entered from inside this module's own call.

#include <emscripten.h>

#include <cstdint>
#include <vector>

#include "pads/polled_pads.h"
#include "scene/side_keys.h"

extern "C" {
// Implemented in JavaScript (pad_imports.js): a side's direction down or up, the box answered.
void voltaro_page_pad_key_down(int key, int code);
void voltaro_page_pad_key_up(int key);
void voltaro_page_pad_confirm();
}

namespace {

struct PagePresses final : voltaro::PadOutput {
    void keyDown(int key, std::int16_t code) override { voltaro_page_pad_key_down(key, code); }
    void keyUp(int key) override { voltaro_page_pad_key_up(key); }
    void confirm() override { voltaro_page_pad_confirm(); }
};

PagePresses presses;
voltaro::PadPlayers players{presses};
voltaro::PolledPads polled{players};
std::vector<voltaro::PolledPads::Reading> look;

}  // namespace

extern "C" {

// One pad of this frame's look: its number (the same pad, the same number), its buttons (bit n
// for the standard layout's button n) and its left stick.
EMSCRIPTEN_KEEPALIVE void voltaro_pad_seen(int pad, int buttons, double x, double y) {
    look.push_back({pad, static_cast<std::uint32_t>(buttons), x, y});
}

// The frame's look is complete: the pads not seen in it are gone.
EMSCRIPTEN_KEEPALIVE void voltaro_pads_read() {
    polled.read(look);
    look.clear();
}

// The key code that moves a side (0 red, 1 blue) one way (0 up, 1 down, 2 left, 3 right).
EMSCRIPTEN_KEEPALIVE int voltaro_side_key_code(int side, int move) {
    if (side < 0 || side > 1 || move < 0 || move > 3) {
        return 0;
    }
    return voltaro::keyCode(side == 0 ? voltaro::Side::Red : voltaro::Side::Blue,
                            static_cast<voltaro::Move>(move));
}

}  // extern "C"
