#include "qt/wayland_desktop.h"

#include <QGuiApplication>
#include <QSocketNotifier>

#ifdef VOLTARO_WAYLAND
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cstring>
#endif

namespace voltaro::wayland {

#ifdef VOLTARO_WAYLAND

struct KeyRepeatWatcher::Connection {
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_seat* seat = nullptr;
    std::uint32_t seatVersion = 0;
    wl_keyboard* keyboard = nullptr;
    Changed changed;
    std::unique_ptr<QSocketNotifier> readable;

    ~Connection() {
        readable.reset();
        if (keyboard) {
            wl_keyboard_release(keyboard);
        }
        if (seat) {
            if (seatVersion >= WL_SEAT_RELEASE_SINCE_VERSION) {
                wl_seat_release(seat);
            } else {
                wl_seat_destroy(seat);
            }
        }
        if (registry) {
            wl_registry_destroy(registry);
        }
        if (display) {
            wl_display_disconnect(display);
        }
    }
};

namespace {

using Connection = KeyRepeatWatcher::Connection;

void keymap(void*, wl_keyboard*, std::uint32_t, std::int32_t fd, std::uint32_t) {
    ::close(fd);  // only the repeat settings matter here
}
void enter(void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {}
void leave(void*, wl_keyboard*, std::uint32_t, wl_surface*) {}
void key(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {}
void modifiers(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
               std::uint32_t) {}
void repeatInfo(void* data, wl_keyboard*, std::int32_t perSecond, std::int32_t delayMs) {
    // A rate of 0 means the compositor repeats no keys; the game keeps its own then.
    if (perSecond > 0 && delayMs > 0) {
        static_cast<Connection*>(data)->changed(
            {std::chrono::milliseconds(delayMs),
             std::chrono::nanoseconds(std::chrono::seconds(1)) / perSecond});
    }
}
const wl_keyboard_listener kKeyboardListener = {keymap, enter, leave, key, modifiers, repeatInfo};

void capabilities(void* data, wl_seat* seat, std::uint32_t caps) {
    auto* c = static_cast<Connection*>(data);
    if ((caps & WL_SEAT_CAPABILITY_KEYBOARD) && !c->keyboard) {
        c->keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(c->keyboard, &kKeyboardListener, c);
    }
}
void seatName(void*, wl_seat*, const char*) {}
const wl_seat_listener kSeatListener = {capabilities, seatName};

void global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
            std::uint32_t version) {
    auto* c = static_cast<Connection*>(data);
    // Repeat settings came with version 4 of the seat.
    if (!c->seat && std::strcmp(interface, wl_seat_interface.name) == 0 && version >= 4) {
        c->seatVersion = std::min<std::uint32_t>(version, 5);
        c->seat = static_cast<wl_seat*>(
            wl_registry_bind(registry, name, &wl_seat_interface, c->seatVersion));
        wl_seat_add_listener(c->seat, &kSeatListener, c);
    }
}
void globalRemove(void*, wl_registry*, std::uint32_t) {}
const wl_registry_listener kRegistryListener = {global, globalRemove};

}  // namespace

std::unique_ptr<KeyRepeatWatcher> KeyRepeatWatcher::start(Changed changed) {
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        return nullptr;
    }
    auto c = std::make_unique<Connection>();
    c->changed = std::move(changed);
    c->display = wl_display_connect(nullptr);  // the compositor Qt connected to
    if (!c->display) {
        return nullptr;
    }
    c->registry = wl_display_get_registry(c->display);
    wl_registry_add_listener(c->registry, &kRegistryListener, c.get());
    // The globals, then the seat's capabilities, then the keyboard's keymap and repeat settings.
    for (int i = 0; i < 3; ++i) {
        if (wl_display_roundtrip(c->display) < 0) {
            return nullptr;
        }
    }
    Connection* raw = c.get();
    c->readable =
        std::make_unique<QSocketNotifier>(wl_display_get_fd(c->display), QSocketNotifier::Read);
    QObject::connect(c->readable.get(), &QSocketNotifier::activated, [raw] {
        if (wl_display_dispatch(raw->display) < 0) {
            raw->readable->setEnabled(false);  // the compositor went away: Qt will say so
        }
    });
    wl_display_flush(c->display);
    return std::unique_ptr<KeyRepeatWatcher>(new KeyRepeatWatcher(std::move(c)));
}

#else

struct KeyRepeatWatcher::Connection {};

std::unique_ptr<KeyRepeatWatcher> KeyRepeatWatcher::start(Changed) {
    return nullptr;
}

#endif

KeyRepeatWatcher::KeyRepeatWatcher(std::unique_ptr<Connection> connection)
    : connection_(std::move(connection)) {}

KeyRepeatWatcher::~KeyRepeatWatcher() = default;

}  // namespace voltaro::wayland
