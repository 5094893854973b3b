// The page's online match, a module of its own (voltaro-online): one client::MatchView, which
// runs the match on the server's inputs, and the form's controls, drawn the way the local game
// draws them. The page's WebSocket only carries frames, and is opened and dropped when
// the view says: every message is read and written here, by the protocol module, and every
// retry and give-up decided here. Entry points named voltaro_online_*.

#include <emscripten.h>

#include <memory>
#include <string>
#include <string_view>

#include "client/match_view.h"
#include "client/screen_log.h"
#include "scene/controls.h"
#include "scene/layout.h"
#include "web/canvas_painter.h"

extern "C" {
// The page's side (online_imports.js).
void voltaro_online_send(const char* frame);
// Open a WebSocket to `url`, dropping any other first; or drop it, its end unreported.
void voltaro_online_open(const char* url);
void voltaro_online_drop();
// A line of the tests' record of what the page showed.
void voltaro_online_log(const char* line);
// `phase` and `seat` by name ("Waiting", "red"; the seat empty before one); `joinLink` and
// `watchLink` are the links to send the friend and those who would watch, empty unless the
// page is to show them; `replayLink` the ended match's replay, empty until the server has
// recorded it; `watchLine` says who plays, or how many watch.
void voltaro_online_show(const char* phase, const char* status, int box, const char* boxText,
                         int boxAnswered, const char* code, const char* token, const char* seat,
                         const char* matchLine, const char* joinLink, const char* replayLink,
                         const char* watchLine, const char* watchLink);
}

namespace {

using voltaro::client::MatchView;

class OnlinePage {
  public:
    // The page sizes the canvas to fit its window and says at which ratio to draw.
    explicit OnlinePage(std::string_view pageAddress)
        : controls_(voltaro::form1Controls()),
          painter_(controls_, voltaro::form1Record()),
          match_(pageAddress) {
        painter_.open();
        painter_.drawAll();
    }

    MatchView& match() { return match_; }

    void setRatio(double ratio) { painter_.setRatio(ratio); }
    // The whole field again, after another game drew on the canvas.
    void redraw() { painter_.drawAll(); }

    // After every call from the page: frames out, the connection, then what changed on the
    // screen, drawn before the call returns (the browser shows it at its next frame).
    void settle() {
        for (const std::string& frame : match_.takeOutgoing()) {
            voltaro_online_send(frame.c_str());
        }
        followConnectionStep();
        if (!match_.takeChanged()) {
            log();  // the final ticks, which change nothing on screen
            return;
        }
        voltaro::client::showScene(match_.scene(), controls_);
        painter_.drawDirty();
        const auto seat = match_.seat();
        const bool invites = match_.invitesFriend();
        voltaro_online_show(std::string(voltaro::client::phaseName(match_.phase())).c_str(),
                            match_.status().c_str(), static_cast<int>(match_.boxNumber()),
                            match_.boxText().c_str(), match_.boxAnswered() ? 1 : 0,
                            match_.code().c_str(), match_.token().c_str(),
                            seat ? std::string(voltaro::online::seatName(*seat)).c_str() : "",
                            match_.matchLine().c_str(), invites ? match_.joinLink().c_str() : "",
                            match_.replayLink().c_str(), match_.watchLine().c_str(),
                            invites ? match_.watchLink().c_str() : "");
        log();
    }

  private:
    void log() {
        for (const std::string& line : log_.linesFor(match_)) {
            voltaro_online_log(line.c_str());
        }
    }

    void followConnectionStep() {
        switch (match_.takeConnectionStep()) {
            case MatchView::ConnectionStep::None:
                return;
            case MatchView::ConnectionStep::Open:
                voltaro_online_open(match_.socketUrl().c_str());
                return;
            case MatchView::ConnectionStep::Drop:
                voltaro_online_drop();
                return;
        }
    }

    voltaro::Controls controls_;
    voltaro::CanvasPainter painter_;
    MatchView match_;
    voltaro::client::ScreenLog log_;
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

// At `pageAddress` (the page's own, whose server plays the match): a new room (`code` empty),
// or the blue seat of `code`; `token` is the seat kept from an earlier visit to that room, if
// any.
EMSCRIPTEN_KEEPALIVE void voltaro_online_start(const char* pageAddress, const char* code,
                                               const char* token) {
    page = std::make_unique<OnlinePage>(pageAddress);
    withMatch([&](MatchView& m) {
        m.setKeyRepeat(500, 1000.0 / 30);  // a browser does not tell the desktop's own
        if (*code) {
            m.join(code, token);
        } else {
            m.create();
        }
    });
}

EMSCRIPTEN_KEEPALIVE void voltaro_online_opened() {
    withMatch([](MatchView& m) { m.opened(); });
}

EMSCRIPTEN_KEEPALIVE void voltaro_online_received(const char* frame, double nowMs) {
    withMatch([&](MatchView& m) { m.received(frame, nowMs); });
}

// Each frame of the browser's (requestAnimationFrame) while the page shows: the match played on
// to the present and drawn.
EMSCRIPTEN_KEEPALIVE void voltaro_online_frame(double nowMs) {
    withMatch([&](MatchView& m) { m.frame(nowMs); });
}

EMSCRIPTEN_KEEPALIVE void voltaro_online_closed(int code, const char* reason, double nowMs) {
    withMatch([&](MatchView& m) { m.closed(static_cast<std::uint16_t>(code), reason, nowMs); });
}

// Twice a second, on the page's steady clock: a ping to a quiet server, a connection to drop or
// to open again.
EMSCRIPTEN_KEEPALIVE void voltaro_online_check_connection(double nowMs) {
    withMatch([&](MatchView& m) { m.checkConnection(nowMs); });
}

// At `pageAddress`: the room `code`, watched.
EMSCRIPTEN_KEEPALIVE void voltaro_online_watch(const char* pageAddress, const char* code) {
    page = std::make_unique<OnlinePage>(pageAddress);
    withMatch([&](MatchView& m) { m.watch(code); });
}

// At `pageAddress`: a match with whoever else waits on its server.
EMSCRIPTEN_KEEPALIVE void voltaro_online_quick_match(const char* pageAddress) {
    page = std::make_unique<OnlinePage>(pageAddress);
    withMatch([&](MatchView& m) {
        m.setKeyRepeat(500, 1000.0 / 30);
        m.quickMatch();
    });
}

// The page to open for what the player typed into "Join a match" (or, `watch` set, "Watch a
// match") on the page at `pageAddress`; empty when it names no room.
EMSCRIPTEN_KEEPALIVE const char* voltaro_online_page_to_join(const char* typed,
                                                             const char* pageAddress, int watch) {
    static std::string answer;
    answer = voltaro::client::pageToJoin(typed, pageAddress, watch != 0);
    return answer.c_str();
}

// The player's own key moves their piece here and now; the page passes no repeats of the
// browser's own.
EMSCRIPTEN_KEEPALIVE void voltaro_online_key_down(int key, int code, double nowMs) {
    withMatch([&](MatchView& m) { m.keyDown(key, static_cast<std::int16_t>(code), nowMs); });
}

EMSCRIPTEN_KEEPALIVE void voltaro_online_key_up(int key, double nowMs) {
    withMatch([&](MatchView& m) { m.keyUp(key, nowMs); });
}

EMSCRIPTEN_KEEPALIVE void voltaro_online_focus_lost(double nowMs) {
    withMatch([&](MatchView& m) { m.focusLost(nowMs); });
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

// A local game played on the field while the player waited has stopped: the match is drawn
// whole.
EMSCRIPTEN_KEEPALIVE void voltaro_online_redraw() {
    if (page) {
        page->redraw();
    }
}

EMSCRIPTEN_KEEPALIVE void voltaro_online_set_device_pixel_ratio(double ratio) {
    if (page) {
        page->setRatio(ratio);
    }
}

}  // extern "C"
