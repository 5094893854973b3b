// voltaro-replay: plays a script of key presses and timer ticks on the real game, headless, and
// prints the state after every event as one JSON line.

#include <iostream>

#include "replay_session.h"

int main() {
    std::ios::sync_with_stdio(false);
    voltaro::ReplaySession session;
    return session.run(std::cin, std::cout, std::cerr);
}
