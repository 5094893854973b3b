// The page's online match: one client::MatchView and the form's controls, drawn the way the
// local game draws them. The page's WebSocket only carries frames: every message is read and
// written here, by the protocol module. Entry points named voltaro_online_*.

#include <emscripten.h>

#include <memory>
#include <string>

#include "client/match_view.h"
#include "scene/controls.h"
#include "scene/layout.h"
#include "web/canvas_painter.h"

extern "C" {
// The page's side (online_imports.js).
void voltaro_online_send(const char* frame);
// `seat`: 0 red, 1 blue, 2 spectator, -1 none yet.
void voltaro_online_show(int phase, const char* status, int box, const char* boxText,
                         int boxAnswered, const char* code, const char* token, int seat,
                         const char* matchLine, const char* tickLine, const char* sceneLine);
}

namespace {

using voltaro::client::MatchView;

class OnlinePage {
  public:
    // The page sizes the canvas to fit its window and says at which ratio to draw.
    OnlinePage()
        : controls_(voltaro::form1Controls()), painter_(controls_, voltaro::form1Record()) {
        painter_.open();
        painter_.drawAll();
    }

    MatchView& match() { return match_; }

    void setRatio(double ratio) { painter_.setRatio(ratio); }

    // After every call from the page: frames out, then what changed on the screen.
    void settle() {
        for (const std::string& frame : match_.takeOutgoing()) {
            voltaro_online_send(frame.c_str());
        }
        if (!match_.takeChanged()) {
            return;
        }
        voltaro::client::showScene(match_.scene(), controls_);
        painter_.drawDirty();
        voltaro_online_show(static_cast<int>(match_.phase()), match_.status().c_str(),
                            static_cast<int>(match_.boxNumber()), match_.boxText().c_str(),
                            match_.boxAnswered() ? 1 : 0, match_.code().c_str(),
                            match_.token().c_str(),
                            match_.seat() ? static_cast<int>(*match_.seat()) : -1,
                            match_.matchLine().c_str(), match_.tickLine().c_str(),
                            voltaro::client::describeScene(match_.tick(), match_.scene()).c_str());
    }

  private:
    voltaro::Controls controls_;
    voltaro::CanvasPainter painter_;
    MatchView match_;
};

std::unique_ptr<OnlinePage> page;

template <typename Call>
void withMatch(Call&& call) {
    if (page) {
        call(page->match());
        page->settle();
    }
}

}  // namespace

extern "C" {

// A new room (`code` empty), or the blue seat of `code`; `token` is the seat kept from an
// earlier visit to that room, if any.
EMSCRIPTEN_KEEPALIVE void voltaro_online_start(const char* code, const char* token) {
    page = std::make_unique<OnlinePage>();
    withMatch([&](MatchView& m) {
        m.setKeyRepeat(500, 1000.0 / 30);  // a browser does not tell the desktop's own
        if (*code) {
            m.join(code, token);
        } else {
            m.create();
        }
    });
}

EMSCRIPTEN_KEEPALIVE void voltaro_online_connecting() {
    withMatch([](MatchView& m) { m.connecting(); });
}

EMSCRIPTEN_KEEPALIVE void voltaro_online_opened() {
    withMatch([](MatchView& m) { m.opened(); });
}

EMSCRIPTEN_KEEPALIVE void voltaro_online_received(const char* frame) {
    withMatch([&](MatchView& m) { m.received(frame); });
}

// True when the page should connect again in a moment.
EMSCRIPTEN_KEEPALIVE int voltaro_online_closed(int code, const char* reason) {
    bool again = false;
    withMatch([&](MatchView& m) { again = m.closed(static_cast<std::uint16_t>(code), reason); });
    return again ? 1 : 0;
}

// True when the page should drop its connection, or its attempt to open one: the server has
// been silent too long. A ping to send meanwhile goes out through the page.
EMSCRIPTEN_KEEPALIVE int voltaro_online_server_silent(double nowMs) {
    bool silent = false;
    withMatch([&](MatchView& m) { silent = m.serverSilent(nowMs); });
    return silent ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE void voltaro_online_gave_up() {
    withMatch([](MatchView& m) { m.gaveUp(); });
}

EMSCRIPTEN_KEEPALIVE void voltaro_online_key_down(int key, int code) {
    withMatch([&](MatchView& m) { m.keyDown(key, static_cast<std::int16_t>(code)); });
}

EMSCRIPTEN_KEEPALIVE void voltaro_online_key_up(int key) {
    withMatch([&](MatchView& m) { m.keyUp(key); });
}

EMSCRIPTEN_KEEPALIVE void voltaro_online_focus_lost() {
    withMatch([](MatchView& m) { m.focusLost(); });
}

EMSCRIPTEN_KEEPALIVE void voltaro_online_box_ok() {
    withMatch([](MatchView& m) { m.boxOk(); });
}

EMSCRIPTEN_KEEPALIVE void voltaro_online_play_again() {
    withMatch([](MatchView& m) { m.playAgain(); });
}

EMSCRIPTEN_KEEPALIVE void voltaro_online_leave() {
    withMatch([](MatchView& m) { m.leave(); });
}

EMSCRIPTEN_KEEPALIVE void voltaro_online_set_device_pixel_ratio(double ratio) {
    if (page) {
        page->setRatio(ratio);
    }
}

}  // extern "C"
