#include "simulated_match.h"

#include <vector>

#include "computer/computer_seats.h"
#include "game/form1.h"
#include "scene/event_wiring.h"
#include "scene/key_repeat.h"
#include "scene/paced_timers.h"
#include "scene/recording_host.h"

namespace voltaro {

namespace {

std::optional<computer::Side> winnerOf(const std::vector<std::string>& messages) {
    for (const std::string& text : messages) {
        if (text == "GAME OVER! Red is the Winner") {
            return computer::Side::Red;
        }
        if (text == "GAME OVER! Blue is the Winner") {
            return computer::Side::Blue;
        }
    }
    return std::nullopt;
}

}  // namespace

MatchOutcome playMatch(std::unique_ptr<computer::KeyPresser> red,
                       std::unique_ptr<computer::KeyPresser> blue, std::chrono::nanoseconds limit) {
    using Clock = std::chrono::steady_clock;
    RecordingHost host;
    Form1 form(host);
    EventWiring wiring(host, form);
    wiring.load();

    std::vector<std::unique_ptr<computer::KeyPresser>> players;
    players.push_back(std::move(red));
    players.push_back(std::move(blue));
    computer::ComputerSeats seats(host.controls(), std::move(players));
    const Timer& ball = host.controls().timer("tmrBall");
    const KeyRepeat noKeysHeld(std::chrono::milliseconds(500), std::chrono::milliseconds(33));
    PacedTimers timers;
    timers.start(host.controls(), PacedTimers::Duration::zero());

    MatchOutcome outcome;
    for (auto now = timers.nextWakeUp(noKeysHeld); !wiring.ended() && now <= limit;
         now = timers.nextWakeUp(noKeysHeld)) {
        bool ballTicked = false;
        for (const Timer* timer : timers.takeDue(now)) {
            if (wiring.ended()) {
                break;
            }
            wiring.timerTick(*timer);
            ballTicked = ballTicked || timer == &ball;
        }
        if (!ballTicked || wiring.ended()) {
            continue;
        }
        ++outcome.ticks;
        const auto before = Clock::now();
        seats.afterTick(now, [&](computer::Side, std::int16_t code) { wiring.keyDown(code); });
        outcome.playersTime += Clock::now() - before;
    }
    outcome.winner = winnerOf(host.takeMessages());
    return outcome;
}

}  // namespace voltaro
