#include "app/online/waiting_game.h"

#include <QTimer>

#include "app/computer_match.h"
#include "computer/computer_seats.h"
#include "game/form1.h"
#include "qt/qt_host.h"

namespace voltaro {

WaitingGame::WaitingGame() = default;

WaitingGame::~WaitingGame() {
    hands_.reset();
    if (host_) {
        host_->disconnect(this);
    }
}

void WaitingGame::start() {
    if (host_) {
        return;
    }
    ending_ = false;
    host_ = std::make_unique<QtHost>();
    host_->keepProgramAtEnd();
    connect(host_.get(), &QtHost::ended, this, &WaitingGame::ended);
    form_ = std::make_unique<Form1>(*host_);
    const computer::Seating seating{.blue = true, .seed = computer::freshSeed()};
    hands_ = seatComputer(*host_, seating);
    host_->start(*form_);
    host_->window().activateWindow();
}

void WaitingGame::stop() {
    if (host_ && !ending_) {
        host_->closeWindow();
    }
}

// The match may end inside one of its own boxes, with the box's event loop still on the stack:
// what played it goes once control is back in the game's own loop.
void WaitingGame::ended() {
    if (ending_) {
        return;
    }
    ending_ = true;
    QTimer::singleShot(0, this, [this] {
        hands_.reset();
        form_.reset();
        host_.reset();
        ending_ = false;
        emit finished();
    });
}

}  // namespace voltaro
