#include "client/replay_viewer.h"

#include <fmt/compile.h>
#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "game/form1.h"
#include "scene/event_wiring.h"
#include "scene/form_site.h"

namespace voltaro::client {

namespace {

using Picture = ReplayViewer::Picture;

Picture pictureOf(const Controls& controls) {
    Picture picture;
    for (const AnyControl& control : controls.inListOrder()) {
        if (const auto* shape = std::get_if<Shape>(&control)) {
            picture.shapes.push_back(shape->box());
        } else if (const auto* label = std::get_if<Label>(&control)) {
            picture.captions.push_back(label->Caption());
        }
    }
    return picture;
}

// `controls` are a copy of the form's: the same controls in the same order as the picture's.
void putPicture(const Picture& picture, Controls& controls) {
    std::size_t shapes = 0, captions = 0;
    for (const AnyControl& control : std::as_const(controls).inListOrder()) {
        if (const auto* shape = std::get_if<Shape>(&control)) {
            Shape* target = controls.findShape(shape->name());
            if (target && shapes < picture.shapes.size()) {
                const TwipBox& box = picture.shapes[shapes];
                target->setLeft(box.left);
                target->setTop(box.top);
                target->setWidth(box.width);
                target->setHeight(box.height);
            }
            ++shapes;
        } else if (const auto* label = std::get_if<Label>(&control)) {
            Label* target = controls.findLabel(label->name());
            if (target && captions < picture.captions.size()) {
                target->setCaption(picture.captions[captions]);
            }
            ++captions;
        }
    }
}

}  // namespace

// The form the record runs on: Form1 over a host of no window, whose boxes are answered at once
// and noted while the record is first played through.
class ReplayViewer::Form final : public FormSite {
  public:
    Form() : form1_(*this) {
        wiring_.emplace(*this, form1_);
        wiring_->load();
    }

    bool run(const replay::Command& command, std::string& problem) {
        return replay::runCommand(command, controls(), *wiring_, problem);
    }

    // Where the boxes go, and the tick they open at; nothing is noted without.
    void noteBoxes(std::vector<Box>* boxes, std::uint32_t tick) {
        boxes_ = boxes;
        tick_ = tick;
    }

    Saved save() const;
    void restore(const Saved& saved);

    void programEnded(int) override {}
    void reportRuntimeError(const RuntimeError& error) override { note(error.report()); }

  protected:
    void showMessageBox(const std::string& prompt) override { note(prompt); }

  private:
    void note(const std::string& text) {
        if (boxes_) {
            boxes_->push_back({tick_, text, pictureOf(controls())});
        }
    }

    Form1 form1_;
    std::optional<EventWiring> wiring_;
    std::vector<Box>* boxes_ = nullptr;
    std::uint32_t tick_ = 0;
};

// Everything the form's next command depends on.
struct ReplayViewer::Saved {
    MatchState state;
    Picture picture;
    bool ended;
};

ReplayViewer::Saved ReplayViewer::Form::save() const {
    return {form1_.state(), pictureOf(controls()), wiring_->ended()};
}

void ReplayViewer::Form::restore(const Saved& saved) {
    if (wiring_->ended() != saved.ended) {
        // A wiring that has ended stays ended: a fresh one, loaded as the match was, or one
        // ended as the match's was.
        wiring_.emplace(*this, form1_);
        wiring_->load();
        if (saved.ended) {
            wiring_->closeWindow();
        }
    }
    form1_.state() = saved.state;
    putPicture(saved.picture, controls());
}

ReplayViewer::ReplayViewer() = default;
ReplayViewer::~ReplayViewer() = default;

bool ReplayViewer::load(std::string_view text) {
    loaded_ = false;
    record_ = ReplayRecord::read(text, problem_);
    if (!record_) {
        return false;
    }
    form_ = std::make_unique<Form>();
    saved_.assign(1, form_->save());
    boxes_.clear();
    marks_.clear();
    const auto& events = record_->events();
    for (std::size_t i = 0; i < events.size(); ++i) {
        const ReplayRecord::Event& event = events[i];
        form_->noteBoxes(&boxes_, event.tick);
        std::string problem;
        if (!form_->run(record_->command(event), problem)) {
            // Only a property written to a control the form lacks is refused here.
            problem_ = fmt::format(FMT_COMPILE("This is not a match record: line {}: {}"),
                                   record_->sets()[event.set].line, problem);
            record_.reset();
            form_.reset();
            return false;
        }
        if (event.verb == replay::Command::Verb::Key &&
            (marks_.empty() || marks_.back().tick != event.tick)) {
            marks_.push_back({event.tick, Mark::Kind::Key});
        }
        if ((i + 1) % kSavedEvery == 0) {
            saved_.push_back(form_->save());
        }
    }
    form_->noteBoxes(nullptr, 0);
    for (const Box& box : boxes_) {
        if (box.text == "Goal!") {
            marks_.push_back({box.tick, Mark::Kind::Goal});
        }
    }
    std::stable_sort(marks_.begin(), marks_.end(),
                     [](const Mark& a, const Mark& b) { return a.tick < b.tick; });
    run_ = events.size();
    loaded_ = true;
    playing_ = false;
    speedIndex_ = 2;
    tick_ = 1;  // anything but 0: the move to 0 opens its boxes
    goTo(0);
    changed_ = true;
    return true;
}

void ReplayViewer::play(double nowMs) {
    if (!loaded_ || playing_) {
        return;
    }
    if (tick_ == lastTick() && !openBox()) {
        goTo(0);  // from the start again
    }
    playing_ = true;
    anchorClock(nowMs);
    changed_ = true;
}

void ReplayViewer::pause(double nowMs) {
    if (!playing_) {
        return;
    }
    frame(nowMs);
    playing_ = false;
    changed_ = true;
}

void ReplayViewer::togglePlay(double nowMs) {
    if (playing_) {
        pause(nowMs);
    } else {
        play(nowMs);
    }
}

void ReplayViewer::setSpeed(std::size_t index, double nowMs) {
    frame(nowMs);  // the ticks so far at the speed before
    index = std::min(index, kSpeeds.size() - 1);
    if (index != speedIndex_) {
        speedIndex_ = index;
        changed_ = true;
    }
    anchorClock(nowMs);
}

void ReplayViewer::faster(double nowMs) {
    setSpeed(speedIndex_ + 1, nowMs);
}

void ReplayViewer::slower(double nowMs) {
    setSpeed(speedIndex_ > 0 ? speedIndex_ - 1 : 0, nowMs);
}

void ReplayViewer::frame(double nowMs) {
    if (!playing_) {
        return;
    }
    if (openBox()) {
        anchorClock(nowMs);  // the clock waits for the box's OK
        return;
    }
    const double elapsed = std::max(0.0, nowMs - anchorMs_);
    const double ticks = std::floor(elapsed * kTicksPerSecond * speed() / 1000 + 1e-9);
    std::uint64_t target =
        anchorTick_ + static_cast<std::uint64_t>(std::min(ticks, double{0xFFFFFFFFu}));
    // A box's tick is never passed over, however fast the clock goes.
    const auto nextBox =
        std::find_if(boxes_.begin(), boxes_.end(), [&](const Box& b) { return b.tick > tick_; });
    if (nextBox != boxes_.end()) {
        target = std::min<std::uint64_t>(target, nextBox->tick);
    }
    goTo(static_cast<std::uint32_t>(std::min<std::uint64_t>(target, lastTick())));
    if (tick_ == lastTick()) {
        playing_ = false;
        changed_ = true;
    }
    if (openBox()) {
        anchorClock(nowMs);
    }
}

void ReplayViewer::stepForward(double nowMs) {
    pause(nowMs);
    if (loaded_ && tick_ < lastTick()) {
        goTo(tick_ + 1);
    }
}

void ReplayViewer::stepBack(double nowMs) {
    pause(nowMs);
    if (loaded_ && tick_ > 0) {
        goTo(tick_ - 1);
    }
}

void ReplayViewer::seek(std::uint32_t tick, double nowMs) {
    if (!loaded_) {
        return;
    }
    goTo(std::min(tick, lastTick()));
    anchorClock(nowMs);
}

const ReplayViewer::Box* ReplayViewer::openBox() const {
    return boxesOpenFrom_ < boxesOpenTo_ ? &boxes_[boxesOpenFrom_] : nullptr;
}

void ReplayViewer::answerBox(double nowMs) {
    if (!openBox()) {
        return;
    }
    ++boxesOpenFrom_;
    anchorClock(nowMs);
    changed_ = true;
}

const Picture& ReplayViewer::picture() const {
    const Box* box = openBox();
    return box ? box->picture : picture_;
}

online::Scene ReplayViewer::scene() const {
    Controls controls(form1Controls());
    putPicture(picture(), controls);
    return online::sceneOn(controls);
}

void ReplayViewer::showOn(Controls& controls) const {
    putPicture(picture(), controls);
}

std::string ReplayViewer::positionLine() const {
    return fmt::format(FMT_COMPILE("Tick {} of {} - {} of {}"), tick_, lastTick(), clockText(tick_),
                       clockText(lastTick()));
}

std::string ReplayViewer::speedText() const {
    return "Speed " + speedName(speed());
}

bool ReplayViewer::takeChanged() {
    return std::exchange(changed_, false);
}

// The form at `tick`: from where it stands when that is at most kSavedEvery commands on, else
// from the last scene saved before it.
void ReplayViewer::goTo(std::uint32_t tick) {
    const auto& events = record_->events();
    const auto after = std::upper_bound(
        events.begin(), events.end(), tick,
        [](std::uint32_t t, const ReplayRecord::Event& event) { return t < event.tick; });
    const auto wanted = static_cast<std::size_t>(after - events.begin());
    if (wanted < run_ || wanted - run_ > kSavedEvery) {
        restoreSaved(wanted / kSavedEvery);
    }
    runTo(wanted);
    if (tick != tick_) {
        picture_ = pictureOf(form_->controls());
        openBoxesAt(tick);
        tick_ = tick;
        changed_ = true;
    }
}

void ReplayViewer::runTo(std::size_t events) {
    const auto& all = record_->events();
    for (std::string problem; run_ < events; ++run_) {
        form_->run(record_->command(all[run_]), problem);  // each ran once already, at load
    }
}

void ReplayViewer::restoreSaved(std::size_t index) {
    form_->restore(saved_[index]);
    run_ = index * kSavedEvery;
}

void ReplayViewer::anchorClock(double nowMs) {
    anchorMs_ = nowMs;
    anchorTick_ = tick_;
}

void ReplayViewer::openBoxesAt(std::uint32_t tick) {
    const auto first =
        std::find_if(boxes_.begin(), boxes_.end(), [&](const Box& b) { return b.tick >= tick; });
    const auto last =
        std::find_if(first, boxes_.end(), [&](const Box& b) { return b.tick > tick; });
    boxesOpenFrom_ = static_cast<std::size_t>(first - boxes_.begin());
    boxesOpenTo_ = static_cast<std::size_t>(last - boxes_.begin());
}

std::string clockText(std::uint32_t tick) {
    const std::uint64_t hundredths = std::uint64_t{tick} * 100 / 64;
    return fmt::format(FMT_COMPILE("{}:{:02}.{:02}"), hundredths / 6000, hundredths / 100 % 60,
                       hundredths % 100);
}

std::string speedName(double speed) {
    if (speed < 1) {
        return fmt::format(FMT_COMPILE("1/{}"), static_cast<int>(std::lround(1 / speed)));
    }
    return fmt::format(FMT_COMPILE("{}"), static_cast<int>(std::lround(speed)));
}

}  // namespace voltaro::client
