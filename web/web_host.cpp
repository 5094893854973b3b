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

int clientPixels(int twips) {
    return static_cast<int>(std::lround(twips / Drawing::kTwipsPerPixel));
}

double milliseconds(WebHost::Duration t) {
    return std::chrono::duration<double, std::milli>(t).count();
}

}  // namespace

WebHost::WebHost() : form_(*this), wiring_(*this, form_), repeat_(kRepeatDelay, kRepeatInterval) {
    controls().setObserver(this);
}

WebHost::~WebHost() {
    controls().setObserver(nullptr);
}

void WebHost::start(Duration now) {
    if (started_) {
        return;
    }
    started_ = true;
    ratio_ = voltaro_page_open(form().caption, clientPixels(form().clientWidth),
                               clientPixels(form().clientHeight));
    wiring_.load();
    drawAll();
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
    drawDirty();
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
    drawDirty();
    arm();
}

void WebHost::keyUp(int key) {
    repeat_.release(key);
}

void WebHost::releaseAllKeys() {
    repeat_.releaseAll();
}

void WebHost::setDevicePixelRatio(double ratio) {
    ratio_ = ratio;
    drawAll();
}

void WebHost::programEnded(int exitStatus) {
    repeat_.releaseAll();
    drawDirty();  // the final scene stays on the page
    voltaro_page_arm(-1.0);
    voltaro_page_ended(exitStatus);
}

void WebHost::reportRuntimeError(const RuntimeError& error) {
    drawDirty();
    voltaro_page_message_box(error.report().c_str(), 1);
}

void WebHost::showMessageBox(const std::string& prompt) {
    drawDirty();           // the box opens over the scene as it stands now
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

void WebHost::shapeMoved(const Shape& shape, const TwipBox& before) {
    const Drawing drawing(ratio_);
    dirty(drawing.dirtied(before));
    dirty(drawing.dirtied(shape.box()));
}

void WebHost::captionChanged(const Label& label) {
    dirty(Drawing(ratio_).dirtied(label.box()));
}

// What changed during one call into the host is drawn once, as one rectangle, before the call
// returns or a box opens.
void WebHost::dirty(const DeviceRect& rect) {
    dirty_ = dirty_.united(rect.intersected(canvasRect()));
}

// The client area in device pixels: the canvas.
DeviceRect WebHost::canvasRect() const {
    return Drawing(ratio_).deviceRect(
        {0, 0, clientPixels(form().clientWidth), clientPixels(form().clientHeight)});
}

void WebHost::drawAll() {
    dirty_ = canvasRect();
    drawDirty();
}

void WebHost::drawDirty() {
    if (dirty_.empty()) {
        return;
    }
    primitives_.clear();
    Drawing(ratio_).drawScene(controls(), form().backColour, dirty_, primitives_);
    commands_.clear();
    toCanvas(primitives_, dirty_, commands_);
    dirty_ = {};
    voltaro_page_draw(commands_.words().data(), static_cast<int>(commands_.words().size()),
                      commands_.texts().c_str());
}

}  // namespace voltaro
