#pragma once

#include <cstdint>
#include <vector>

#include "pads/pad_players.h"

namespace voltaro {

// Pads that are looked at rather than heard from: a browser shows, each frame, every pad there
// is with its buttons and axes as they are now. Each look becomes what PadPlayers hears from
// pads that tell of their changes: a pad plugged in or out, a button down or up, the stick
// moved. The buttons are numbered as the browsers' standard layout numbers them.
class PolledPads {
  public:
    struct Reading {
        PadPlayers::PadId pad;
        std::uint32_t buttons;  // bit n: the layout's button n is held
        double x;               // the left stick, -1 (left, up) to 1 (right, down)
        double y;
    };

    // The standard layout's numbers of the controls the game listens to.
    static constexpr int kBottomButton = 0;
    static constexpr int kDPadUp = 12;  // then down, left and right

    explicit PolledPads(PadPlayers& players) : players_(players) {}

    // Every pad there is now: a pad missing from it has been unplugged. A pad new in it plays
    // what it holds at once, but the bottom button that was down as it came answers nothing.
    void read(const std::vector<Reading>& pads);

    // A stick's deflection in the units PadPlayers counts in.
    static int axisValue(double deflection);

  private:
    const Reading* last(PadPlayers::PadId pad) const;
    void follow(const Reading& before, const Reading& now);

    PadPlayers& players_;
    std::vector<Reading> last_;
};

}  // namespace voltaro
