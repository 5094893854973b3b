#include "pads/pad_players.h"

#include <algorithm>

namespace voltaro {

namespace {

// The code the keyboard gives for a side's direction (up, down, left, right).
std::int16_t codeOf(Side side, int direction) {
    return keyCode(side, static_cast<Move>(direction));
}

// One half of a stick's axis, with the gap between press and release that keeps it steady.
bool stickHolds(bool wasHeld, int towards) {
    return wasHeld ? towards > PadPlayers::kStickRelease : towards >= PadPlayers::kStickPress;
}

}  // namespace

int PadPlayers::keyId(Side side, PadButton direction) {
    constexpr int kFirst = -0x1000;
    return kFirst - (side == Side::Red ? 0 : kDirections) - static_cast<int>(direction);
}

PadPlayers::Held PadPlayers::Pad::held() const {
    Held both{};
    for (int d = 0; d < kDirections; ++d) {
        both[d] = dpad[d] || stick[d];
    }
    return both;
}

void PadPlayers::connect(PadId pad) {
    if (find(pad)) {
        return;
    }
    pads_.push_back({pad, std::nullopt});
    for (Side side : {Side::Red, Side::Blue}) {
        if (std::none_of(pads_.begin(), pads_.end(),
                         [side](const Pad& p) { return p.side == side; })) {
            seat(pads_.back(), side);
            return;
        }
    }
}

void PadPlayers::disconnect(PadId pad) {
    Pad* gone = find(pad);
    if (!gone) {
        return;
    }
    const std::optional<Side> freed = gone->side;
    if (freed) {
        press(*freed, gone->held(), Held{});
    }
    std::erase_if(pads_, [pad](const Pad& p) { return p.id == pad; });
    if (!freed) {
        return;
    }
    const auto waiting =
        std::find_if(pads_.begin(), pads_.end(), [](const Pad& p) { return !p.side; });
    if (waiting != pads_.end()) {
        seat(*waiting, *freed);
    }
}

void PadPlayers::seat(Pad& pad, Side side) {
    pad.side = side;
    press(side, Held{}, pad.held());
}

void PadPlayers::button(PadId id, PadButton button, bool down) {
    Pad* pad = find(id);
    if (!pad) {
        return;
    }
    if (button == PadButton::Confirm) {
        if (down) {
            output_.confirm();
        }
        return;
    }
    update(*pad, [&](Pad& p) { p.dpad[static_cast<int>(button)] = down; });
}

void PadPlayers::axis(PadId id, PadAxis axis, int value) {
    Pad* pad = find(id);
    if (!pad) {
        return;
    }
    const int less = axis == PadAxis::X ? kLeft : kUp;
    const int more = axis == PadAxis::X ? kRight : kDown;
    update(*pad, [&](Pad& p) {
        p.stick[less] = stickHolds(p.stick[less], -value);
        p.stick[more] = stickHolds(p.stick[more], value);
    });
}

template <typename Change>
void PadPlayers::update(Pad& pad, Change&& change) {
    const Held before = pad.held();
    change(pad);
    if (pad.side) {
        press(*pad.side, before, pad.held());
    }
}

void PadPlayers::press(Side side, const Held& before, const Held& after) {
    for (int d = 0; d < kDirections; ++d) {
        const int key = keyId(side, static_cast<PadButton>(d));
        if (after[d] && !before[d]) {
            output_.keyDown(key, codeOf(side, d));
        } else if (before[d] && !after[d]) {
            output_.keyUp(key);
        }
    }
}

bool PadPlayers::connected(PadId pad) const {
    return find(pad) != nullptr;
}

std::vector<PadPlayers::PadId> PadPlayers::pads() const {
    std::vector<PadId> ids;
    for (const Pad& p : pads_) {
        ids.push_back(p.id);
    }
    return ids;
}

std::optional<Side> PadPlayers::sideOf(PadId pad) const {
    const Pad* p = find(pad);
    return p ? p->side : std::nullopt;
}

PadPlayers::Pad* PadPlayers::find(PadId pad) {
    const auto it =
        std::find_if(pads_.begin(), pads_.end(), [pad](const Pad& p) { return p.id == pad; });
    return it == pads_.end() ? nullptr : &*it;
}

const PadPlayers::Pad* PadPlayers::find(PadId pad) const {
    return const_cast<PadPlayers*>(this)->find(pad);
}

}  // namespace voltaro
