#pragma once

#include <memory>

#include "computer/computer_seats.h"
#include "qt/computer_hands.h"
#include "qt/qt_host.h"

namespace voltaro {

// Seats the computer at the desktop match, if the command line asked for it: its players, the
// window's title saying who plays which side, and, for a match it plays against itself, message
// boxes that close by themselves. Nothing when it plays no side.
std::unique_ptr<ComputerHands> seatComputer(QtHost& host, const computer::Seating& seating);

}  // namespace voltaro
