#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "online/input.h"
#include "online/protocol.h"
#include "online/tick_match.h"

namespace voltaro::test {

// Random inputs of a whole online match as the server would order them: by tick, and within a
// tick in the order given. Both players press and let go of their arrows, letters and other
// keys, lose the keyboard, change their repeat settings, and now and then the server pauses and
// resumes the match.
inline std::vector<online::Input> randomInputs(std::mt19937& random, std::uint32_t ticks,
                                               std::uint32_t perHundredTicks = 30) {
    using online::Input;
    using online::Seat;
    static constexpr std::int16_t kKeys[] = {37, 38, 39, 40, 65, 68, 83, 87, 32, 13};
    std::vector<Input> inputs;
    std::uniform_int_distribution<int> percent(0, 99);
    std::uniform_int_distribution<std::size_t> key(0, std::size(kKeys) - 1);
    std::array<std::uint32_t, 2> seq{};
    bool paused = false;
    for (std::uint32_t tick = 0; tick < ticks; ++tick) {
        while (percent(random) < static_cast<int>(perHundredTicks)) {
            Input input;
            input.tick = tick;
            const int roll = percent(random);
            if (roll < 2) {
                input.kind = paused ? Input::Kind::Resume : Input::Kind::Pause;
                input.seat = Seat::Spectator;
                paused = !paused;
                inputs.push_back(input);
                break;
            }
            input.seat = percent(random) < 50 ? Seat::Red : Seat::Blue;
            input.seq = ++seq[input.seat == Seat::Red ? 0 : 1];
            if (roll < 4) {
                input.kind = Input::Kind::FocusLost;
            } else if (roll < 6) {
                input.kind = Input::Kind::KeyRepeat;
                const auto timing =
                    online::clampedRepeat(std::uniform_real_distribution<double>(200, 1100)(random),
                                          std::uniform_real_distribution<double>(20, 450)(random));
                input.delayUs = timing.delayUs;
                input.intervalUs = timing.intervalUs;
            } else {
                input.kind = roll < 55 ? Input::Kind::KeyDown : Input::Kind::KeyUp;
                input.key = kKeys[key(random)];
            }
            inputs.push_back(input);
        }
    }
    return inputs;
}

// The inputs of one tick, of inputs ordered by tick.
inline std::span<const online::Input> inputsAt(const std::vector<online::Input>& inputs,
                                               std::uint32_t tick) {
    const auto [first, last] = std::equal_range(
        inputs.begin(), inputs.end(), online::Input{.tick = tick},
        [](const online::Input& a, const online::Input& b) { return a.tick < b.tick; });
    return {inputs.data() + (first - inputs.begin()), static_cast<std::size_t>(last - first)};
}

// Plays `match`, which stands at its tick with that tick's inputs taken, on to tick `last`.
inline void playTo(online::TickMatch& match, const std::vector<online::Input>& inputs,
                   std::uint32_t last) {
    while (match.tick() < last) {
        match.step(inputsAt(inputs, match.tick() + 1));
    }
}

// A new match played to tick `last`, the inputs of tick 0 included.
inline void play(online::TickMatch& match, const std::vector<online::Input>& inputs,
                 std::uint32_t last) {
    match.apply(inputsAt(inputs, 0));
    playTo(match, inputs, last);
}

// A single key press at the start sends the ball on a road that ends in the right goal about
// five seconds later (the box snapshot is taken; without it the ball never reaches a goal).
inline std::vector<online::Input> toTheGoal(std::uint32_t tick = 0) {
    using online::Input;
    return {{.kind = Input::Kind::KeyDown, .seat = online::Seat::Red, .tick = tick, .key = 32},
            {.kind = Input::Kind::KeyUp, .seat = online::Seat::Red, .tick = tick, .key = 32}};
}

// What a match leaves for its record, as text.
struct TextLog final : online::MatchLog {
    void tick(std::uint32_t number) override { text += "# tick " + std::to_string(number) + "\n"; }
    void line(std::string_view line) override { (text += line) += "\n"; }
    void comment(std::string_view comment) override {
        (text += "# ") += std::string(comment) + "\n";
    }
    void finish() override { ++finished; }
    std::string text;
    int finished = 0;
};

}  // namespace voltaro::test
