#pragma once

#include <QObject>
#include <chrono>
#include <memory>
#include <vector>

#include "qt/game_window.h"
#include "qt/monotonic_alarm.h"
#include "qt/scene_painter.h"
#include "qt/wayland_desktop.h"
#include "qt/x11_desktop.h"
#include "scene/event_wiring.h"
#include "scene/form_site.h"
#include "scene/key_repeat.h"
#include "scene/paced_timers.h"

class QMessageBox;

namespace voltaro {

// The forms host on Qt: the window, the paced timers, the keyboard with per-key auto-repeat,
// modal message boxes, and the end of the program.
class QtHost final : public QObject, public FormSite, private ControlObserver {
    Q_OBJECT

  public:
    using Clock = std::chrono::steady_clock;

    QtHost();
    ~QtHost() override;

    // Raises Load, shows the window, and runs the event loop until the program ends.
    int run(FormEvents& form);

    // The parts a test drives without an event loop of its own.
    void start(FormEvents& form);
    GameWindow& window() { return window_; }
    EventWiring& wiring() { return *wiring_; }
    const KeyRepeat& keyRepeat() const { return repeat_; }

    // Keys pressed by something other than the keyboard, such as a gamepad's directions: they
    // reach the form and repeat while held exactly as the keyboard's keys do. `key` tells each
    // held key apart; negative ids are never the keyboard's. While a message box is open they
    // go nowhere, as the keyboard's go to the box.
    void virtualKeyDown(int key, std::int16_t code);
    void virtualKeyUp(int key);

    void programEnded(int exitStatus) override;
    void reportRuntimeError(const RuntimeError& error) override;

    // Message boxes that close by themselves after this long, as if OK were pressed; for a
    // match that nobody watches to its end. Zero: they wait for the player.
    void closeBoxesAfter(std::chrono::milliseconds after) { boxesCloseAfter_ = after; }

    // A match played beside something else (the computer while a player waits online): its
    // end, or its window closed, ends the match and hides the window, not the program.
    void keepProgramAtEnd() { endsProgram_ = false; }
    // As if the player closed the window: an open box is answered first.
    void closeWindow() { onCloseRequested(); }

  signals:
    // A tick of the ball has been delivered and drawn; `now` on the host's clock.
    void ballTicked(std::chrono::nanoseconds now);

    // The match is over or the window was closed: the event loop is leaving with this status.
    void ended(int exitStatus);

  protected:
    void showMessageBox(const std::string& prompt) override;

  private:
    void shapeMoved(const Shape& shape, const TwipBox& before) override;
    void captionChanged(const Label& label) override;

    void markDirty(const QRect& logical);
    void requestRepaint();

    void onKeyPressed(int qtKey, std::int16_t code, bool autoRepeat);
    void onKeyReleased(int qtKey, bool autoRepeat);
    void onCloseRequested();
    int execBox(QMessageBox& box);

    void startTimers();
    void wake();
    void arm();
    TickSchedule::Duration now() const;

    ScenePainter painter_;
    GameWindow window_;
    std::unique_ptr<EventWiring> wiring_;
    PacedTimers timers_;
    KeyRepeat repeat_;
    MonotonicAlarm wakeUp_;
    x11::CloseRequestFilter closeUnderBox_;
    std::unique_ptr<wayland::KeyRepeatWatcher> repeatWatcher_;
    Clock::time_point epoch_;
    QMessageBox* openBox_ = nullptr;
    QRect dirty_;              // what the event being delivered has moved, in logical pixels
    bool delivering_ = false;  // inside an event: repaint once, when it is over
    bool closing_ = false;
    bool endsProgram_ = true;
    std::chrono::milliseconds boxesCloseAfter_{0};
};

}  // namespace voltaro
