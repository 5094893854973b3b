#pragma once

#include <QObject>
#include <cstdint>

#include "computer/computer_seats.h"

namespace voltaro {

class QtHost;

// The computer's players at the desktop game. After each tick of the ball they are shown the
// scene; each key they press goes to the window as a key press and its release, down the same
// path as a person's keys, so it moves their player and refreshes what the ball rebounds from
// exactly as a person's press does.
class ComputerHands final : public QObject {
    Q_OBJECT

  public:
    ComputerHands(QtHost& host, const computer::Seating& seating);

  private:
    void tap(std::int16_t code);

    QtHost& host_;
    computer::ComputerSeats seats_;
};

}  // namespace voltaro
