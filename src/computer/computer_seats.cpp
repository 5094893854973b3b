#include "computer/computer_seats.h"

#include <chrono>
#include <random>

#include "computer/computer_player.h"

namespace voltaro::computer {

std::optional<Seating> seatingNamed(std::string_view sides) {
    Seating seating;
    if (sides == "red" || sides == "both") {
        seating.red = true;
    }
    if (sides == "blue" || sides == "both") {
        seating.blue = true;
    }
    if (!seating.any()) {
        return std::nullopt;
    }
    return seating;
}

std::string whoPlays(const Seating& seating) {
    const std::string computer = "the computer, " + std::string(levelName(seating.level));
    if (seating.red && seating.blue) {
        return "Red and Blue: " + computer;
    }
    return std::string("Red: ") + (seating.red ? computer : "you") +
           "; Blue: " + (seating.blue ? computer : "you");
}

std::uint64_t freshSeed() {
    std::random_device device;
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    return (static_cast<std::uint64_t>(device()) << 32) ^ static_cast<std::uint64_t>(now);
}

ComputerSeats::ComputerSeats(const Controls& controls, const Seating& seating) : eyes_(controls) {
    if (seating.red) {
        players_.push_back(
            std::make_unique<ComputerPlayer>(Side::Red, seating.level, seating.seed));
    }
    if (seating.blue) {
        players_.push_back(
            std::make_unique<ComputerPlayer>(Side::Blue, seating.level, seating.seed));
    }
}

ComputerSeats::ComputerSeats(const Controls& controls,
                             std::vector<std::unique_ptr<KeyPresser>> players)
    : eyes_(controls), players_(std::move(players)) {}

}  // namespace voltaro::computer
