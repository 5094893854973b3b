#include "qt/computer_hands.h"

#include <QCoreApplication>
#include <QKeyEvent>

#include "qt/qt_host.h"

namespace voltaro {

namespace {

// The Qt key of one of the players' keys: the arrows, or a letter, whose Qt key is its
// upper-case character.
int qtKeyOf(std::int16_t code) {
    switch (code) {
        case 37:
            return Qt::Key_Left;
        case 38:
            return Qt::Key_Up;
        case 39:
            return Qt::Key_Right;
        case 40:
            return Qt::Key_Down;
        default:
            return code;
    }
}

}  // namespace

ComputerHands::ComputerHands(QtHost& host, const computer::Seating& seating)
    : host_(host), seats_(host.controls(), seating) {
    connect(&host_, &QtHost::ballTicked, this, [this](std::chrono::nanoseconds now) {
        seats_.afterTick(now, [this](computer::Side, std::int16_t code) { tap(code); });
    });
}

void ComputerHands::tap(std::int16_t code) {
    const int key = qtKeyOf(code);
    const QString text = key < 0x80 && code >= 'A' ? QString(QChar(code).toLower()) : QString();
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(&host_.window(), &down);
    QCoreApplication::sendEvent(&host_.window(), &up);
}

}  // namespace voltaro
