// The page module: one WebHost and one Form1, driven by the page through these entry points.
// Times are the page clock's milliseconds (performance.now()).

#include <emscripten.h>

#include <chrono>
#include <memory>

#include "web/web_host.h"

namespace {

std::unique_ptr<voltaro::WebHost> host;

voltaro::WebHost::Duration pageTime(double ms) {
    return std::chrono::duration_cast<voltaro::WebHost::Duration>(
        std::chrono::duration<double, std::milli>(ms));
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE void voltaro_start(double nowMs) {
    host = std::make_unique<voltaro::WebHost>();
    host->start(pageTime(nowMs));
}

EMSCRIPTEN_KEEPALIVE void voltaro_wake(double nowMs) {
    host->wake(pageTime(nowMs));
}

EMSCRIPTEN_KEEPALIVE void voltaro_key_down(int key, int code, double nowMs) {
    host->keyDown(key, static_cast<std::int16_t>(code), pageTime(nowMs));
}

EMSCRIPTEN_KEEPALIVE void voltaro_key_up(int key) {
    host->keyUp(key);
}

EMSCRIPTEN_KEEPALIVE void voltaro_release_all_keys() {
    host->releaseAllKeys();
}

EMSCRIPTEN_KEEPALIVE void voltaro_set_device_pixel_ratio(double ratio) {
    host->setDevicePixelRatio(ratio);
}

// The computer plays red (1), blue (2) or both (3) at a level (0 easy, 1 normal, 2 hard).
EMSCRIPTEN_KEEPALIVE void voltaro_seat_computer(int sides, int level, double seed) {
    voltaro::computer::Seating seating;
    seating.red = (sides & 1) != 0;
    seating.blue = (sides & 2) != 0;
    seating.level = static_cast<voltaro::computer::Level>(level < 0 ? 0 : level > 2 ? 2 : level);
    seating.seed = seed >= 0 && seed < 9.0e18 ? static_cast<std::uint64_t>(seed) : 0;
    host->seatComputer(seating);
}

}  // extern "C"
