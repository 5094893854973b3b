#include "qt/x11_desktop.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QWidget>

#ifdef VOLTARO_X11
#include <QtGui/qguiapplication_platform.h>
#include <X11/XKBlib.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#endif

namespace voltaro::x11 {

namespace {

#ifdef VOLTARO_X11
QNativeInterface::QX11Application* application() {
    return qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
}

std::uint32_t atom(xcb_connection_t* connection, const char* name) {
    const auto cookie =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const std::uint32_t value = reply ? reply->atom : 0;
    std::free(reply);
    return value;
}
#endif

}  // namespace

bool onX11() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

void useDetectableAutoRepeat() {
#ifdef VOLTARO_X11
    if (auto* x11 = onX11() ? application() : nullptr; x11 && x11->display()) {
        Bool supported = False;
        XkbSetDetectableAutoRepeat(x11->display(), True, &supported);
    }
#endif
}

std::optional<KeyRepeatControls> keyRepeatControls() {
#ifdef VOLTARO_X11
    if (auto* x11 = onX11() ? application() : nullptr; x11 && x11->display()) {
        unsigned delay = 0;
        unsigned interval = 0;
        if (XkbGetAutoRepeatRate(x11->display(), XkbUseCoreKbd, &delay, &interval) && delay > 0 &&
            interval > 0) {
            return KeyRepeatControls{std::chrono::milliseconds(delay),
                                     std::chrono::milliseconds(interval)};
        }
    }
#endif
    return std::nullopt;
}

CloseRequestFilter::CloseRequestFilter(const QWidget& window, std::function<bool()> blocked,
                                       std::function<void()> onClose)
    : window_(window), blocked_(std::move(blocked)), onClose_(std::move(onClose)) {
#ifdef VOLTARO_X11
    if (auto* x11 = onX11() ? application() : nullptr; x11 && x11->connection()) {
        wmProtocols_ = atom(x11->connection(), "WM_PROTOCOLS");
        wmDeleteWindow_ = atom(x11->connection(), "WM_DELETE_WINDOW");
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
#endif
}

CloseRequestFilter::~CloseRequestFilter() {
    if (auto* app = QCoreApplication::instance()) {
        app->removeNativeEventFilter(this);
    }
}

bool CloseRequestFilter::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
#ifdef VOLTARO_X11
    if (eventType != "xcb_generic_event_t" || wmDeleteWindow_ == 0) {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) != XCB_CLIENT_MESSAGE) {
        return false;
    }
    const auto* request = reinterpret_cast<const xcb_client_message_event_t*>(event);
    if (request->window != window_.internalWinId() || request->type != wmProtocols_ ||
        request->data.data32[0] != wmDeleteWindow_ || !blocked_()) {
        return false;
    }
    onClose_();
    return true;
#else
    (void)eventType;
    (void)message;
    return false;
#endif
}

}  // namespace voltaro::x11
