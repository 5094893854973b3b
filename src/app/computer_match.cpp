#include "app/computer_match.h"

#include <QString>
#include <chrono>

namespace voltaro {

std::unique_ptr<ComputerHands> seatComputer(QtHost& host, const computer::Seating& seating) {
    if (!seating.any()) {
        return nullptr;
    }
    host.window().setWindowTitle(QString::fromUtf8(host.form().caption) + QStringLiteral(" - ") +
                                 QString::fromStdString(computer::whoPlays(seating)));
    if (seating.red && seating.blue) {
        // Nobody may be there to press OK when the match the computer plays alone is over.
        host.closeBoxesAfter(std::chrono::seconds(3));
    }
    return std::make_unique<ComputerHands>(host, seating);
}

}  // namespace voltaro
