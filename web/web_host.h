#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "computer/computer_seats.h"
#include "game/form1.h"
#include "scene/event_wiring.h"
#include "scene/form_site.h"
#include "scene/key_repeat.h"
#include "scene/paced_timers.h"
#include "web/canvas_painter.h"

namespace voltaro {

// The forms host in a web page. The page owns the canvas, the keyboard, the clock and the
// message boxes, and calls in here for every event; this side paces the timers and the held
// keys with the desktop's own schedules, runs the game, and hands the page what to draw.
//
// A message box suspends the running procedure (Asyncify) until the player presses OK; while it
// is suspended the page makes no call in here at all.
class WebHost final : public FormSite {
  public:
    using Duration = std::chrono::nanoseconds;

    WebHost();
    ~WebHost() override;

    // Opens the page's canvas, raises Load, draws the whole scene and starts the timers' grid at
    // `now`.
    void start(Duration now);
    // Delivers the ticks and key repeats due at `now`, then tells the page when to call again.
    void wake(Duration now);
    // A key went down (`key` names the physical key) or up, or every key was let go.
    void keyDown(int key, std::int16_t code, Duration now);
    void keyUp(int key);
    void releaseAllKeys();
    // The ratio of device pixels to form pixels changed (a zoom, another screen, a resized
    // window): the whole scene is drawn anew at the new one.
    void setDevicePixelRatio(double ratio);
    // The computer plays these sides from now on, pressing keys down the page's key path.
    void seatComputer(const computer::Seating& seating);

    void programEnded(int exitStatus) override;
    void reportRuntimeError(const RuntimeError& error) override;

  protected:
    void showMessageBox(const std::string& prompt) override;

  private:
    void arm();
    void letComputerPlay(Duration now);

    Form1 form_;
    EventWiring wiring_;
    PacedTimers timers_;
    KeyRepeat repeat_;
    CanvasPainter painter_;
    bool started_ = false;
    std::unique_ptr<computer::ComputerSeats> computer_;
};

}  // namespace voltaro
