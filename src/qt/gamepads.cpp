#include "qt/gamepads.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QMessageBox>
#include <chrono>
#include <optional>

#include "qt/pad_watch.h"
#include "qt/qt_host.h"
#include "qt/sdl_library.h"

namespace voltaro {

namespace {

using namespace std::chrono_literals;

// With a pad plugged in, a press waits at most half a tick of the game's 64 Hz; without one, SDL
// only has to notice a pad being plugged in, and a poll costs a few microseconds.
constexpr auto kPlayingPoll = 8ms;
constexpr auto kWaitingPoll = 250ms;
// More than a poll's worth of events from two pads; the rest wait for the next poll.
constexpr int kEventsPerPoll = 256;

std::optional<PadButton> padButton(std::uint8_t button) {
    switch (button) {
        case SDL_CONTROLLER_BUTTON_DPAD_UP:
            return PadButton::Up;
        case SDL_CONTROLLER_BUTTON_DPAD_DOWN:
            return PadButton::Down;
        case SDL_CONTROLLER_BUTTON_DPAD_LEFT:
            return PadButton::Left;
        case SDL_CONTROLLER_BUTTON_DPAD_RIGHT:
            return PadButton::Right;
        case SDL_CONTROLLER_BUTTON_A:
            return PadButton::Confirm;
        default:
            return std::nullopt;
    }
}

std::optional<PadAxis> padAxis(std::uint8_t axis) {
    switch (axis) {
        case SDL_CONTROLLER_AXIS_LEFTX:
            return PadAxis::X;
        case SDL_CONTROLLER_AXIS_LEFTY:
            return PadAxis::Y;
        default:
            return std::nullopt;
    }
}

// SDL2's library with its controllers started, or null: no pads, and the game as it always was.
const SdlLibrary* loadSdl() {
    const SdlLibrary* sdl = SdlLibrary::load();
    if (!sdl) {
        return nullptr;
    }
    // SDL is a guest in Qt's program: no handlers for SIGINT and SIGTERM of its own, and pad
    // input whether or not SDL thinks one of its (absent) windows has the focus; the focus that
    // counts is Qt's, checked as each press arrives.
    sdl->SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    sdl->SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    return sdl->InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0 ? sdl : nullptr;
}

// The game's window, or a box over it, has the focus.
bool gameHasFocus() {
    return QApplication::activeWindow() != nullptr;
}

}  // namespace

Gamepads::Gamepads(QtHost& host) : host_(host) {
    connect(&poll_, &QTimer::timeout, this, &Gamepads::poll);
    host_.window().installEventFilter(this);
}

Gamepads::~Gamepads() {
    // SDL's start posts its result to this object, so it is waited for while this is whole.
    if (starter_.joinable()) {
        starter_.join();
    }
    const SdlLibrary* sdl = sdl_ ? sdl_ : startedSdl_;
    if (!sdl) {
        return;
    }
    poll_.stop();
    if (sdl_) {
        for (const PadPlayers::PadId pad : players_.pads()) {
            sdl_->GameControllerClose(sdl_->GameControllerFromInstanceID(pad));
        }
    }
    sdl->QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

// Once the first frame is out, and only then, the pads: SDL at once where it is in the process
// already (it costs nothing more), else once the kernel tells of a pad.
bool Gamepads::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Paint && watched == &host_.window()) {
        host_.window().removeEventFilter(this);
        if (SdlLibrary::inProcess()) {
            startSdl();
        } else {
            watch_ = std::make_unique<PadWatch>([this] { startSdl(); });
        }
    }
    return false;
}

// Loading SDL2's library and the thirty it brings, and starting its controllers, takes some
// 20 ms of a core and several times that on a busy machine: done on a thread of its own, it
// holds up no tick. From then on SDL is used on this thread only.
void Gamepads::startSdl() {
    if (starter_.joinable()) {
        return;
    }
    starter_ = std::thread([this] {
        startedSdl_ = loadSdl();
        QMetaObject::invokeMethod(
            this, [this] { started(); }, Qt::QueuedConnection);
    });
}

void Gamepads::started() {
    sdl_ = startedSdl_;
    if (!sdl_) {
        return;  // no SDL2 installed: the keyboard alone
    }
    poll_.start(kWaitingPoll);
    poll();  // the pads plugged in already
}

void Gamepads::poll() {
    if (polling_) {
        return;  // a message box opened under a press runs its own loop, and this timer in it
    }
    polling_ = true;
    SDL_Event event;
    for (int i = 0; i < kEventsPerPoll && sdl_->PollEvent(&event); ++i) {
        handle(event);
    }
    polling_ = false;
    const auto interval = players_.count() > 0 ? kPlayingPoll : kWaitingPoll;
    if (poll_.intervalAsDuration() != interval) {
        poll_.setTimerType(players_.count() > 0 ? Qt::PreciseTimer : Qt::CoarseTimer);
        poll_.start(interval);
    }
}

void Gamepads::handle(const SDL_Event& event) {
    switch (event.type) {
        case SDL_CONTROLLERDEVICEADDED:
            plugIn(event.cdevice.which);
            break;
        case SDL_CONTROLLERDEVICEREMOVED:
            unplug(event.cdevice.which);
            break;
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP:
            if (const auto button = padButton(event.cbutton.button)) {
                players_.button(event.cbutton.which, *button, event.cbutton.state == SDL_PRESSED);
            }
            break;
        case SDL_CONTROLLERAXISMOTION:
            if (const auto axis = padAxis(event.caxis.axis)) {
                players_.axis(event.caxis.which, *axis, event.caxis.value);
            }
            break;
        default:
            break;
    }
}

// A pad already plugged in when SDL starts is announced too, and a pad plugged in with a
// direction held plays it at once.
void Gamepads::plugIn(int deviceIndex) {
    SDL_GameController* pad = sdl_->GameControllerOpen(deviceIndex);
    if (!pad) {
        return;
    }
    const SDL_JoystickID id = sdl_->JoystickInstanceID(sdl_->GameControllerGetJoystick(pad));
    if (players_.connected(id)) {
        sdl_->GameControllerClose(pad);  // announced twice: SDL counts the opens
        return;
    }
    players_.connect(id);
    for (const auto button : {SDL_CONTROLLER_BUTTON_DPAD_UP, SDL_CONTROLLER_BUTTON_DPAD_DOWN,
                              SDL_CONTROLLER_BUTTON_DPAD_LEFT, SDL_CONTROLLER_BUTTON_DPAD_RIGHT}) {
        players_.button(id, *padButton(button), sdl_->GameControllerGetButton(pad, button) != 0);
    }
    for (const auto axis : {SDL_CONTROLLER_AXIS_LEFTX, SDL_CONTROLLER_AXIS_LEFTY}) {
        players_.axis(id, *padAxis(axis), sdl_->GameControllerGetAxis(pad, axis));
    }
}

void Gamepads::unplug(PadPlayers::PadId pad) {
    if (!players_.connected(pad)) {
        return;
    }
    players_.disconnect(pad);
    sdl_->GameControllerClose(sdl_->GameControllerFromInstanceID(pad));
}

// Like the keyboard's keys, the pads' presses reach the game only while it has the focus (its
// window, or a box over it); letting go always does, and the host lets every key go when the
// window loses the focus.
void Gamepads::keyDown(int key, std::int16_t code) {
    if (gameHasFocus()) {
        host_.virtualKeyDown(key, code);
    }
}

void Gamepads::keyUp(int key) {
    host_.virtualKeyUp(key);
}

// The game's message boxes have one button, OK: the bottom button presses it, as Enter does.
void Gamepads::confirm() {
    // The game window rather than the box may have the focus: a window manager may activate
    // the window after the box that opened at once over it.
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !gameHasFocus()) {
        return;
    }
    if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
        ok->click();
    }
}

}  // namespace voltaro
