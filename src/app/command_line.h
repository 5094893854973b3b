#pragma once

#include <QString>
#include <optional>

#include "app/online/online_options.h"
#include "computer/computer_seats.h"

namespace voltaro {

// The game's command line: --help and --version, and Qt's own options, which the application
// takes itself. Read before any window system is touched, so that it works in a terminal with
// no display too. Returns the exit status when the program has nothing more to do (0 after
// --help or --version, 2 after an unknown option or a wrong value, with its message), or
// nothing to play; then `seating` says which sides the computer plays, `online` receives
// the options of online play, and `replay` the record file of --replay (empty without).
std::optional<int> readCommandLine(int argc, char* argv[], computer::Seating* seating = nullptr,
                                   OnlineOptions* online = nullptr, QString* replay = nullptr);

}  // namespace voltaro
