#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace voltaro::wayland {

// The keyboard's auto-repeat delay and interval as a Wayland compositor announces them.
struct KeyRepeatInfo {
    std::chrono::milliseconds delay;
    std::chrono::nanoseconds interval;
};

// Qt 6.4 keeps the compositor's repeat settings to itself, so this listens for them on a small
// connection of its own, which holds a keyboard but no window. The compositor tells them when
// the keyboard is made (if one is in use) and again whenever they or the active keyboard change.
class KeyRepeatWatcher {
  public:
    using Changed = std::function<void(const KeyRepeatInfo&)>;

    // Nothing when the game does not run on Wayland or the compositor cannot be reached.
    // `changed` is called from the event loop, and already from here when the settings are known.
    static std::unique_ptr<KeyRepeatWatcher> start(Changed changed);
    ~KeyRepeatWatcher();

    struct Connection;

  private:
    explicit KeyRepeatWatcher(std::unique_ptr<Connection> connection);
    std::unique_ptr<Connection> connection_;
};

}  // namespace voltaro::wayland
