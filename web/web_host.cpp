#include "web/web_host.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "web/page_imports.h"
#include "web/scene_commands.h"

namespace voltaro {

namespace {

// A browser does not tell the page the desktop's repeat settings: the desktop's usual ones.
constexpr auto kRepeatDelay = std::chrono::milliseconds(500);
constexpr auto kRepeatInterval = std::chrono::nanoseconds(std::chrono::seconds(1)) / 30;

double milliseconds(WebHost::Duration t) {
    return std::chrono::duration<double, std::milli>(t).count();
}

}  // namespace

WebHost::WebHost()
    : form_(*this),
      wiring_(*this, form_),
      repeat_(kRepeatDelay, kRepeatInterval),
      painter_(controls(), form()) {}

WebHost::~WebHost() = default;

void WebHost::start(Duration now) {
    if (started_) {
        return;
    }
    started_ = true;
    painter_.open();
    wiring_.load();
    painter_.drawAll();
    if (wiring_.ended()) {
        return;
    }
    timers_.start(controls(), now);
    arm();
}

// The same order as the desktop: every timer that is due gets its one tick, then the held keys
// their repeats.
void WebHost::wake(Duration now) {
    if (!started_ || wiring_.ended()) {
        return;
    }
    bool ballTick = false;
    for (const Timer* timer : timers_.takeDue(now)) {
        if (wiring_.ended()) {
            break;
        }
        if (wiring_.timerTick(*timer) && timer->name() == "tmrBall") {
            ballTick = true;
        }
    }
    if (!wiring_.ended() && repeat_.anyHeld()) {
        repeat_.deliverDue(now, [this](std::int16_t code) { wiring_.keyDown(code); });
    }
    if (ballTick) {
        letComputerPlay(now);
    }
    painter_.drawDirty();
    arm();
}

void WebHost::seatComputer(const computer::Seating& seating) {
    computer_ =
        seating.any() ? std::make_unique<computer::ComputerSeats>(controls(), seating) : nullptr;
}

// The computer's keys are pressed and let go at once, each as a key of its own that no
// keyboard key shares.
void WebHost::letComputerPlay(Duration now) {
    if (!computer_ || wiring_.ended()) {
        return;
    }
    computer_->afterTick(now, [this, now](computer::Side, std::int16_t code) {
        const int key = -code;
        keyDown(key, code, now);
        keyUp(key);
    });
}

void WebHost::keyDown(int key, std::int16_t code, Duration now) {
    if (!started_ || wiring_.ended() || !repeat_.press(key, code, now)) {
        return;  // a key already held repeats on its own schedule
    }
    wiring_.keyDown(code);
    painter_.drawDirty();
    arm();
}

void WebHost::keyUp(int key) {
    repeat_.release(key);
}

void WebHost::releaseAllKeys() {
    repeat_.releaseAll();
}

void WebHost::setDevicePixelRatio(double ratio) {
    painter_.setRatio(ratio);
}

void WebHost::programEnded(int exitStatus) {
    repeat_.releaseAll();
    painter_.drawDirty();  // the final scene stays on the page
    voltaro_page_arm(-1.0);
    voltaro_page_ended(exitStatus);
}

void WebHost::reportRuntimeError(const RuntimeError& error) {
    painter_.drawDirty();
    voltaro_page_message_box(error.report().c_str(), 1);
}

void WebHost::showMessageBox(const std::string& prompt) {
    painter_.drawDirty();  // the box opens over the scene as it stands now
    repeat_.releaseAll();  // the keys' releases will go to the box
    const double closedAt = voltaro_page_message_box(prompt.c_str(), 0);
    // Ticks that fell due while the box was open are dropped, as the event wiring drops every
    // tick that arrives under a box on the desktop.
    timers_.dropDue(
        std::chrono::duration_cast<Duration>(std::chrono::duration<double, std::milli>(closedAt)));
}

void WebHost::arm() {
    if (wiring_.ended()) {
        return;
    }
    const auto next = timers_.nextWakeUp(repeat_);
    voltaro_page_arm(next == Duration::max() ? -1.0 : milliseconds(next));
}

}  // namespace voltaro
