#include "qt/game_window.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPainter>
#include <cmath>

namespace voltaro {

namespace {

int pixels(int twips) {
    return static_cast<int>(std::lround(twips / Drawing::kTwipsPerPixel));
}

}  // namespace

GameWindow::GameWindow(const FormRecord& form, ScenePainter& painter)
    : painter_(painter), clientSize_(pixels(form.clientWidth), pixels(form.clientHeight)) {
    setWindowTitle(QString::fromUtf8(form.caption));
    setAttribute(Qt::WA_OpaquePaintEvent);  // the scene paints every pixel itself
    setFocusPolicy(Qt::StrongFocus);        // no control takes the focus: every key comes here
    // The client area's top-left corner at the stored place, where the window manager allows it.
    setGeometry(pixels(form.startLeft), pixels(form.startTop), clientSize_.width(),
                clientSize_.height());
}

QSize GameWindow::sizeHint() const {
    return clientSize_;
}

void GameWindow::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter_.paint(painter, devicePixelRatioF(), event->rect());
}

void GameWindow::keyPressEvent(QKeyEvent* event) {
    emit keyPressed(event->key(), event->modifiers().testFlag(Qt::KeypadModifier),
                    event->isAutoRepeat());
}

void GameWindow::keyReleaseEvent(QKeyEvent* event) {
    emit keyReleased(event->key(), event->isAutoRepeat());
}

void GameWindow::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    emit focusLost();
}

void GameWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized()) {
        emit focusLost();
    }
}

void GameWindow::closeEvent(QCloseEvent* event) {
    event->ignore();  // the host decides when the window goes
    emit closeRequested();
}

bool GameWindow::focusNextPrevChild(bool) {
    return false;
}  // Tab is a key like any other

}  // namespace voltaro
