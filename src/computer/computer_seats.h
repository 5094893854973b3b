#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "computer/key_presser.h"
#include "computer/level.h"
#include "computer/sighting.h"

namespace voltaro::computer {

// Which sides the computer plays, at which level, from which seed.
struct Seating {
    bool red = false;
    bool blue = false;
    Level level = Level::Normal;
    std::uint64_t seed = 0;

    bool any() const { return red || blue; }
};

// "red", "blue" or "both".
std::optional<Seating> seatingNamed(std::string_view sides);
// Who plays which side, for the window's title or the page: "Red: you; Blue: the computer,
// normal".
std::string whoPlays(const Seating& seating);
// A seed for a match that differs from the last one.
std::uint64_t freshSeed();

// The computer's seats at a match. Every host drives them the same way: after each tick of the
// ball it shows them the screen, and delivers each key they press down its own key path, as a
// person's press.
class ComputerSeats {
  public:
    using Duration = KeyPresser::Duration;

    ComputerSeats(const Controls& controls, const Seating& seating);
    // Any players, the computer's or others, that play a side by its keys.
    ComputerSeats(const Controls& controls, std::vector<std::unique_ptr<KeyPresser>> players);

    bool empty() const { return players_.empty(); }

    // Calls press(side, code) for each key pressed after this tick. Two players answer in turns,
    // one first on one tick and the other on the next, as no side's press always comes last.
    template <typename Press>
    void afterTick(Duration now, Press&& press);

  private:
    Eyes eyes_;
    std::vector<std::unique_ptr<KeyPresser>> players_;
    std::uint64_t ticks_ = 0;
};

template <typename Press>
void ComputerSeats::afterTick(Duration now, Press&& press) {
    if (players_.empty()) {
        return;
    }
    const Sighting seen = eyes_.look();
    const std::size_t count = players_.size();
    for (std::size_t i = 0; i < count; ++i) {
        KeyPresser& player = *players_[(i + ticks_) % count];
        if (const auto code = player.afterTick(seen, now)) {
            press(player.side(), *code);
        }
    }
    ++ticks_;
}

}  // namespace voltaro::computer
