#pragma once

#include <QAbstractNativeEventFilter>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

class QWidget;

namespace voltaro::x11 {

// True when the game runs on an X11 display, where the two mends below apply.
bool onX11();

// X sends a held key's repeats as release and press pairs, and Qt tells them from a real
// release only when the press is already queued; on a busy machine some pairs come through as
// a real release and a new press, and the held key stutters. Detectable auto-repeat makes the
// server send repeats as presses alone.
void useDetectableAutoRepeat();

// The keyboard's auto-repeat delay and interval as the X server holds them (what `xset r rate`
// sets), or nothing when the game does not run on X11.
struct KeyRepeatControls {
    std::chrono::milliseconds delay;
    std::chrono::milliseconds interval;
};
std::optional<KeyRepeatControls> keyRepeatControls();

// Qt drops a close request for a window that a modal message box blocks. This filter catches
// the window manager's WM_DELETE_WINDOW for `window` and hands it to `onClose` whenever
// `blocked` says a box is open; otherwise Qt's own close event goes through as usual.
class CloseRequestFilter : public QAbstractNativeEventFilter {
  public:
    CloseRequestFilter(const QWidget& window, std::function<bool()> blocked,
                       std::function<void()> onClose);
    ~CloseRequestFilter() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  private:
    const QWidget& window_;
    std::function<bool()> blocked_;
    std::function<void()> onClose_;
    std::uint32_t wmProtocols_ = 0;
    std::uint32_t wmDeleteWindow_ = 0;
};

}  // namespace voltaro::x11
