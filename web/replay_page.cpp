// The page's replay viewer, a module of its own (voltaro-viewer): one client::ReplayViewer and
// the form's controls, drawn by the same painter as a match. The page hands over the record's
// bytes, its clock and the player's controls; every word it shows comes from here. Entry points
// named voltaro_replay_*.

#include <emscripten.h>
#include <fmt/compile.h>
#include <fmt/format.h>

#include <algorithm>
#include <memory>
#include <string>

#include "client/replay_viewer.h"
#include "scene/controls.h"
#include "scene/layout.h"
#include "web/canvas_painter.h"

extern "C" {
// The page's side (replay_imports.js): where the replay stands and what the screen says. `box`
// numbers the open box (0: none), so that the page opens each once.
void voltaro_replay_show(unsigned tick, unsigned lastTick, int playing, int speedIndex,
                         const char* position, const char* speed, int box, const char* boxText,
                         const char* scene);
}

namespace {

using voltaro::client::ReplayViewer;

// The scene on screen for the page's tests, its numbers as the replay tool writes them:
// "ball [6000,3240] red [1920,3360] blue [9840,3360] score 0 0".
std::string sceneText(const voltaro::online::Scene& scene) {
    const auto place = [](const voltaro::Point& p) {
        return fmt::format(FMT_COMPILE("[{},{}]"), p.left, p.top);
    };
    return fmt::format(FMT_COMPILE("ball {} red {} blue {} score {} {}"), place(scene.ball),
                       place(scene.red), place(scene.blue), scene.redScore, scene.blueScore);
}

class ReplayPage {
  public:
    explicit ReplayPage(std::unique_ptr<ReplayViewer> viewer)
        : controls_(voltaro::form1Controls()),
          painter_(controls_, voltaro::form1Record()),
          viewer_(std::move(viewer)) {
        painter_.open();
        viewer_->showOn(controls_);
        painter_.drawAll();
    }

    ReplayViewer& viewer() { return *viewer_; }
    void setRatio(double ratio) { painter_.setRatio(ratio); }

    // After every call from the page: what changed is drawn before the call returns.
    void settle(bool always = false) {
        if (!viewer_->takeChanged() && !always) {
            return;
        }
        viewer_->showOn(controls_);
        painter_.drawDirty();
        const ReplayViewer::Box* box = viewer_->openBox();
        const int boxNumber = box ? static_cast<int>(box - viewer_->boxes().data()) + 1 : 0;
        voltaro_replay_show(viewer_->tick(), viewer_->lastTick(), viewer_->playing() ? 1 : 0,
                            static_cast<int>(viewer_->speedIndex()),
                            viewer_->positionLine().c_str(), viewer_->speedText().c_str(),
                            boxNumber, box ? box->text.c_str() : "",
                            sceneText(viewer_->scene()).c_str());
    }

  private:
    voltaro::Controls controls_;
    voltaro::CanvasPainter painter_;
    std::unique_ptr<ReplayViewer> viewer_;
};

std::unique_ptr<ReplayPage> page;
std::string record;  // the bytes the page puts here, as they came: NUL bytes and all
std::string problem;

// A mark the page asks for by its place; the first for a place that is none.
ReplayViewer::Mark markAt(int index) {
    const auto& marks = page->viewer().marks();
    if (index < 0 || static_cast<std::size_t>(index) >= marks.size()) {
        return {0, ReplayViewer::Mark::Kind::Key};
    }
    return marks[static_cast<std::size_t>(index)];
}

template <typename Call>
void withViewer(Call&& call) {
    if (page) {
        call(page->viewer());
        page->settle();
    }
}

}  // namespace

extern "C" {

// Room for a record of `size` bytes, which the page writes there; past the largest record, only
// enough to tell that it is too large.
EMSCRIPTEN_KEEPALIVE char* voltaro_replay_buffer(double size) {
    const double most = static_cast<double>(voltaro::client::ReplayRecord::kMaxBytes + 1);
    record.assign(static_cast<std::size_t>(std::clamp(size, 0.0, most)), '\0');
    return record.data();
}

EMSCRIPTEN_KEEPALIVE unsigned voltaro_replay_buffer_size() {
    return static_cast<unsigned>(record.size());
}

// Plays the record in the buffer: 1, its first scene drawn and the viewer paused at tick 0; or
// 0 when it is not a match's record, voltaro_replay_problem() saying why.
EMSCRIPTEN_KEEPALIVE int voltaro_replay_start() {
    auto viewer = std::make_unique<ReplayViewer>();
    const bool loaded = viewer->load(record);
    record = std::string();
    if (!loaded) {
        problem = viewer->problem();
        return 0;
    }
    page = std::make_unique<ReplayPage>(std::move(viewer));
    page->settle(true);
    return 1;
}

EMSCRIPTEN_KEEPALIVE const char* voltaro_replay_problem() {
    return problem.c_str();
}

// Each frame of the browser's while the page shows: the clock moves on and the scene is drawn.
EMSCRIPTEN_KEEPALIVE void voltaro_replay_frame(double nowMs) {
    withViewer([&](ReplayViewer& v) { v.frame(nowMs); });
}

EMSCRIPTEN_KEEPALIVE void voltaro_replay_toggle_play(double nowMs) {
    withViewer([&](ReplayViewer& v) { v.togglePlay(nowMs); });
}

// A tick forward (`ticks` > 0) or back.
EMSCRIPTEN_KEEPALIVE void voltaro_replay_step(int ticks, double nowMs) {
    withViewer([&](ReplayViewer& v) {
        if (ticks > 0) {
            v.stepForward(nowMs);
        } else {
            v.stepBack(nowMs);
        }
    });
}

EMSCRIPTEN_KEEPALIVE void voltaro_replay_seek(double tick, double nowMs) {
    withViewer([&](ReplayViewer& v) {
        v.seek(static_cast<std::uint32_t>(std::clamp(tick, 0.0, static_cast<double>(v.lastTick()))),
               nowMs);
    });
}

// The speed by its place among the five, slowest first.
EMSCRIPTEN_KEEPALIVE void voltaro_replay_set_speed(int index, double nowMs) {
    withViewer(
        [&](ReplayViewer& v) { v.setSpeed(static_cast<std::size_t>(std::max(0, index)), nowMs); });
}

EMSCRIPTEN_KEEPALIVE void voltaro_replay_box_ok(double nowMs) {
    withViewer([&](ReplayViewer& v) { v.answerBox(nowMs); });
}

// The seek bar's marks: how many, and each one's tick and whether it is the goal's.
EMSCRIPTEN_KEEPALIVE int voltaro_replay_mark_count() {
    return page ? static_cast<int>(page->viewer().marks().size()) : 0;
}

EMSCRIPTEN_KEEPALIVE double voltaro_replay_mark_tick(int index) {
    if (!page) {
        return 0;
    }
    return markAt(index).tick;
}

EMSCRIPTEN_KEEPALIVE int voltaro_replay_mark_is_goal(int index) {
    using Kind = ReplayViewer::Mark::Kind;
    if (!page) {
        return 0;
    }
    return markAt(index).kind == Kind::Goal;
}

EMSCRIPTEN_KEEPALIVE void voltaro_replay_set_device_pixel_ratio(double ratio) {
    if (page) {
        page->setRatio(ratio);
        page->settle(true);
    }
}

}  // extern "C"
