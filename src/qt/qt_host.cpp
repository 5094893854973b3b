#include "qt/qt_host.h"

#include <QApplication>
#include <QMessageBox>
#include <QStyleHints>
#include <QTimer>
#include <algorithm>
#include <array>
#include <utility>

namespace voltaro {

namespace {

// The desktop's own key repeat: on X11 the keyboard's repeat controls (on Wayland the host
// learns the compositor's as it announces them). Until then, and elsewhere, where Qt reports
// only a fixed rate, a held key repeats after 500 ms, 30 times a second.
KeyRepeat desktopKeyRepeat() {
    using namespace std::chrono;
    if (const auto controls = x11::keyRepeatControls()) {
        return KeyRepeat(controls->delay, controls->interval);
    }
    const int perSecond = QGuiApplication::styleHints()->keyboardAutoRepeatRate();
    return KeyRepeat(milliseconds(500),
                     duration_cast<nanoseconds>(seconds(1)) / (perSecond > 0 ? perSecond : 30));
}

QString boxTitle() {
    return QStringLiteral("voltaro");
}

}  // namespace

QtHost::QtHost()
    : painter_(controls(), form().backColour),
      window_(form(), painter_),
      repeat_(desktopKeyRepeat()),
      closeUnderBox_(
          window_, [this] { return openBox_ != nullptr; }, [this] { onCloseRequested(); }),
      epoch_(Clock::now()) {
    x11::useDetectableAutoRepeat();
    repeatWatcher_ = wayland::KeyRepeatWatcher::start([this](const wayland::KeyRepeatInfo& info) {
        repeat_.setTiming(info.delay, info.interval);
    });
    controls().setObserver(this);
    connect(&wakeUp_, &MonotonicAlarm::rang, this, &QtHost::wake);
    connect(&window_, &GameWindow::keyPressed, this, &QtHost::onKeyPressed);
    connect(&window_, &GameWindow::keyReleased, this, &QtHost::onKeyReleased);
    connect(&window_, &GameWindow::focusLost, this, [this] { repeat_.releaseAll(); });
    connect(&window_, &GameWindow::closeRequested, this, &QtHost::onCloseRequested);
}

QtHost::~QtHost() {
    controls().setObserver(nullptr);
}

void QtHost::start(FormEvents& form) {
    wiring_ = std::make_unique<EventWiring>(*this, form);
    wiring_->load();
    if (wiring_->ended()) {
        return;
    }
    window_.show();
    startTimers();
}

int QtHost::run(FormEvents& form) {
    start(form);
    if (wiring_->ended()) {
        return wiring_->exitStatus();
    }
    return QApplication::exec();
}

void QtHost::programEnded(int exitStatus) {
    wakeUp_.stop();
    repeat_.releaseAll();
    emit ended(exitStatus);
    window_.hide();
    if (endsProgram_) {
        QCoreApplication::exit(exitStatus);
    }
}

int QtHost::execBox(QMessageBox& box) {
    repeat_.releaseAll();  // the keys' releases will go to the box
    openBox_ = &box;
    if (!endsProgram_) {
        // A match beside other windows holds up only its own: the rest stay in use.
        box.setWindowModality(Qt::WindowModal);
    }
    if (boxesCloseAfter_.count() > 0) {
        QTimer::singleShot(boxesCloseAfter_, &box, [&box] { box.done(QMessageBox::Ok); });
    }
    const int result = box.exec();
    openBox_ = nullptr;
    return result;
}

void QtHost::showMessageBox(const std::string& prompt) {
    dirty_ = {};
    window_.repaint();  // the box opens over the scene as it stands now
    QMessageBox box(QMessageBox::NoIcon, boxTitle(), QString::fromStdString(prompt),
                    QMessageBox::Ok, &window_);
    execBox(box);
    if (closing_) {
        End();  // the window was closed while the box was open
    }
}

void QtHost::reportRuntimeError(const RuntimeError& error) {
    wakeUp_.stop();
    dirty_ = {};
    window_.repaint();
    QMessageBox box(QMessageBox::Critical, boxTitle(), QString::fromStdString(error.report()),
                    QMessageBox::Ok, &window_);
    execBox(box);
}

void QtHost::shapeMoved(const Shape& shape, const TwipBox& before) {
    markDirty(ScenePainter::logicalBounds(before) | ScenePainter::logicalBounds(shape.box()));
}

void QtHost::captionChanged(const Label& label) {
    markDirty(ScenePainter::logicalBounds(label.box()));
}

// A ball tick moves the ball twice (Left, then Top): the window is asked once, when the event
// is over, to repaint everything that moved.
void QtHost::markDirty(const QRect& logical) {
    dirty_ |= logical;
    if (!delivering_) {
        requestRepaint();
    }
}

void QtHost::requestRepaint() {
    if (!dirty_.isEmpty()) {
        window_.update(dirty_);
        dirty_ = {};
    }
}

void QtHost::onKeyPressed(int qtKey, std::int16_t code, bool autoRepeat) {
    if (autoRepeat || !wiring_) {
        return;  // the host repeats held keys itself
    }
    if (repeat_.press(qtKey, code, now())) {
        const bool outer = std::exchange(delivering_, true);
        wiring_->keyDown(code);
        delivering_ = outer;
        requestRepaint();
        arm();
    }
}

void QtHost::onKeyReleased(int qtKey, bool autoRepeat) {
    if (!autoRepeat) {
        repeat_.release(qtKey);
    }
}

void QtHost::virtualKeyDown(int key, std::int16_t code) {
    if (!openBox_) {
        onKeyPressed(key, code, false);
    }
}

void QtHost::virtualKeyUp(int key) {
    onKeyReleased(key, false);
}

void QtHost::onCloseRequested() {
    if (openBox_) {
        closing_ = true;
        openBox_->done(QMessageBox::Ok);
        return;
    }
    if (wiring_) {
        wiring_->closeWindow();
    } else {
        programEnded(0);
    }
}

void QtHost::startTimers() {
    timers_.start(controls(), now());
    arm();
}

// One wake-up serves every timer and every held key. The next wake-up is armed before anything
// is delivered, so ticks keep arriving (and are dropped) while a message box is open.
void QtHost::wake() {
    if (!wiring_ || wiring_->ended()) {
        return;
    }
    const auto t = now();
    const PacedTimers::Due due = timers_.takeDue(t);
    arm();
    const bool outer = std::exchange(delivering_, true);  // a message box nests a wake-up
    bool ballTick = false;
    for (const Timer* timer : due) {
        if (wiring_->ended()) {
            break;
        }
        if (wiring_->timerTick(*timer) && timer->name() == "tmrBall") {
            ballTick = true;
        }
    }
    if (!wiring_->ended() && repeat_.anyHeld()) {
        repeat_.deliverDue(t, [this](std::int16_t code) { wiring_->keyDown(code); });
        arm();
    }
    delivering_ = outer;
    requestRepaint();
    if (ballTick && !wiring_->ended()) {
        emit ballTicked(t);
    }
}

void QtHost::arm() {
    if (!wiring_ || wiring_->ended()) {
        return;
    }
    const auto next = timers_.nextWakeUp(repeat_);
    if (next == TickSchedule::Duration::max()) {
        return;
    }
    wakeUp_.ringAt(epoch_ + next);
}

TickSchedule::Duration QtHost::now() const {
    return Clock::now() - epoch_;
}

}  // namespace voltaro
