// The page's online match: one client::MatchView and the form's controls, drawn the way the
// local game draws them. The page's WebSocket only carries frames: every message is read and
// written here, by the protocol module. Entry points named voltaro_online_*.

#include <emscripten.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "client/match_view.h"
#include "scene/controls.h"
#include "scene/drawing.h"
#include "scene/layout.h"
#include "web/canvas_commands.h"
#include "web/page_imports.h"
#include "web/scene_commands.h"

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

int clientPixels(int twips) {
    return static_cast<int>(std::lround(twips / voltaro::Drawing::kTwipsPerPixel));
}

class OnlinePage final : private voltaro::ControlObserver {
  public:
    // The page sizes the canvas to fit its window and says at which ratio to draw.
    OnlinePage() : controls_(voltaro::form1Controls()) {
        controls_.setObserver(this);
        const auto& form = voltaro::form1Record();
        ratio_ = voltaro_page_open(form.caption, clientPixels(form.clientWidth),
                                   clientPixels(form.clientHeight));
        drawAll();
    }
    ~OnlinePage() override { controls_.setObserver(nullptr); }

    MatchView& match() { return match_; }

    void setRatio(double ratio) {
        ratio_ = ratio;
        drawAll();
    }

    // After every call from the page: frames out, then what changed on the screen.
    void settle() {
        for (const std::string& frame : match_.takeOutgoing()) {
            voltaro_online_send(frame.c_str());
        }
        if (!match_.takeChanged()) {
            return;
        }
        voltaro::client::showScene(match_.scene(), controls_);
        drawDirty();
        voltaro_online_show(static_cast<int>(match_.phase()), match_.status().c_str(),
                            static_cast<int>(match_.boxNumber()), match_.boxText().c_str(),
                            match_.boxAnswered() ? 1 : 0, match_.code().c_str(),
                            match_.token().c_str(),
                            match_.seat() ? static_cast<int>(*match_.seat()) : -1,
                            match_.matchLine().c_str(), match_.tickLine().c_str(),
                            voltaro::client::describeScene(match_.tick(), match_.scene()).c_str());
    }

  private:
    void shapeMoved(const voltaro::Shape& shape, const voltaro::TwipBox& before) override {
        const voltaro::Drawing drawing(ratio_);
        dirty(drawing.dirtied(before));
        dirty(drawing.dirtied(shape.box()));
    }
    void captionChanged(const voltaro::Label& label) override {
        dirty(voltaro::Drawing(ratio_).dirtied(label.box()));
    }

    voltaro::DeviceRect canvasRect() const {
        const auto& form = voltaro::form1Record();
        return voltaro::Drawing(ratio_).deviceRect(
            {0, 0, clientPixels(form.clientWidth), clientPixels(form.clientHeight)});
    }
    void dirty(const voltaro::DeviceRect& rect) {
        dirty_ = dirty_.united(rect.intersected(canvasRect()));
    }
    void drawAll() {
        dirty_ = canvasRect();
        drawDirty();
    }
    void drawDirty() {
        if (dirty_.empty()) {
            return;
        }
        primitives_.clear();
        voltaro::Drawing(ratio_).drawScene(controls_, voltaro::form1Record().backColour, dirty_,
                                           primitives_);
        commands_.clear();
        voltaro::toCanvas(primitives_, dirty_, commands_);
        dirty_ = {};
        voltaro_page_draw(commands_.words().data(), static_cast<int>(commands_.words().size()),
                          commands_.texts().c_str());
    }

    voltaro::Controls controls_;
    MatchView match_;
    double ratio_ = 1.0;
    voltaro::DeviceRect dirty_;
    std::vector<voltaro::Primitive> primitives_;
    voltaro::CanvasCommands commands_;
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
