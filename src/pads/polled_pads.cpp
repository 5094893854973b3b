#include "pads/polled_pads.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace voltaro {

namespace {

bool holds(std::uint32_t buttons, int number) {
    return (buttons >> number & 1U) != 0;
}

int numberOf(PadButton button) {
    return button == PadButton::Confirm ? PolledPads::kBottomButton
                                        : PolledPads::kDPadUp + static_cast<int>(button);
}

}  // namespace

int PolledPads::axisValue(double deflection) {
    if (std::isnan(deflection)) {
        return 0;  // a pad that reports no number for an axis
    }
    return static_cast<int>(std::lround(std::clamp(deflection, -1.0, 1.0) * 32767.0));
}

void PolledPads::read(const std::vector<Reading>& pads) {
    for (const Reading& before : last_) {
        if (std::none_of(pads.begin(), pads.end(),
                         [&](const Reading& now) { return now.pad == before.pad; })) {
            players_.disconnect(before.pad);
        }
    }
    std::vector<Reading> seen;
    for (const Reading& now : pads) {
        if (std::any_of(seen.begin(), seen.end(),
                        [&](const Reading& r) { return r.pad == now.pad; })) {
            continue;  // shown twice in one look
        }
        if (const Reading* before = last(now.pad)) {
            follow(*before, now);
        } else {
            players_.connect(now.pad);
            // As if it had come with nothing held and the bottom button as it is now.
            follow({now.pad, now.buttons & 1U << kBottomButton, 0.0, 0.0}, now);
        }
        seen.push_back(now);
    }
    last_ = std::move(seen);
}

void PolledPads::follow(const Reading& before, const Reading& now) {
    for (PadButton button :
         {PadButton::Up, PadButton::Down, PadButton::Left, PadButton::Right, PadButton::Confirm}) {
        const bool down = holds(now.buttons, numberOf(button));
        if (down != holds(before.buttons, numberOf(button))) {
            players_.button(now.pad, button, down);
        }
    }
    if (axisValue(now.x) != axisValue(before.x)) {
        players_.axis(now.pad, PadAxis::X, axisValue(now.x));
    }
    if (axisValue(now.y) != axisValue(before.y)) {
        players_.axis(now.pad, PadAxis::Y, axisValue(now.y));
    }
}

const PolledPads::Reading* PolledPads::last(PadPlayers::PadId pad) const {
    const auto it =
        std::find_if(last_.begin(), last_.end(), [pad](const Reading& r) { return r.pad == pad; });
    return it == last_.end() ? nullptr : &*it;
}

}  // namespace voltaro
