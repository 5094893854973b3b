#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "client/replay_record.h"
#include "game/match_state.h"
#include "online/scene.h"
#include "scene/controls.h"

namespace voltaro::client {

// A match's record played back on the form: the scene at any tick, on a clock the host drives
// with its own time, with play and pause, a tick back and forward, five speeds, seeking, the
// marks of the seek bar, and the match's boxes. It knows no toolkit: the desktop game and the
// page show the same replay the same way. The form runs exactly the record's commands, as the
// replay tool does, so that every tick shows what the tool says of it.
class ReplayViewer {
  public:
    // A place on the seek bar worth finding again.
    struct Mark {
        enum class Kind { Key, Goal };
        std::uint32_t tick;
        Kind kind;
        friend bool operator==(const Mark&, const Mark&) = default;
    };

    // Every moving part of the form: each shape's box and each label's caption, in list order.
    struct Picture {
        std::vector<TwipBox> shapes;
        std::vector<std::string> captions;
        friend bool operator==(const Picture&, const Picture&) = default;
    };

    // A message box the match showed, over the form as it stood when the box opened.
    struct Box {
        std::uint32_t tick;
        std::string text;
        Picture picture;
    };

    static constexpr double kTicksPerSecond = 64;  // the match's paced grid
    // The speeds, slowest first; the viewer starts at 1.
    static constexpr std::array<double, 5> kSpeeds = {0.25, 0.5, 1, 2, 4};
    // A scene is saved after every so many commands: a seek runs at most that many.
    static constexpr std::size_t kSavedEvery = 256;

    ReplayViewer();
    ~ReplayViewer();
    ReplayViewer(const ReplayViewer&) = delete;
    ReplayViewer& operator=(const ReplayViewer&) = delete;

    // Reads and plays through the record once, saving scenes on the way; false, with problem()
    // a sentence for the player, when it is not a match's record. The viewer then stands paused
    // at tick 0 (the match as loaded, with the commands of its tick 0 run).
    bool load(std::string_view text);
    bool loaded() const { return loaded_; }
    const std::string& problem() const { return problem_; }

    // The host's time, in milliseconds on a steady clock, with each call that needs it.
    void play(double nowMs);
    void pause(double nowMs);
    void togglePlay(double nowMs);
    bool playing() const { return playing_; }
    // Faster or slower by one of kSpeeds; the tick shown stays.
    void faster(double nowMs);
    void slower(double nowMs);
    // One of kSpeeds by its place in the list (beyond the last: the last).
    void setSpeed(std::size_t index, double nowMs);
    std::size_t speedIndex() const { return speedIndex_; }
    double speed() const { return kSpeeds[speedIndex_]; }
    // Called at each frame of the host's: the clock moves on, and at the last tick it stops.
    void frame(double nowMs);

    // A step pauses the replay a tick on or back; a seek takes it to `tick` and plays on from
    // there if it was playing, as a seek bar does while a video plays.
    void stepForward(double nowMs);
    void stepBack(double nowMs);
    void seek(std::uint32_t tick, double nowMs);

    std::uint32_t tick() const { return tick_; }
    std::uint32_t lastTick() const { return record_ ? record_->lastTick() : 0; }
    const std::vector<Mark>& marks() const { return marks_; }

    // The box open now, if any: the match's boxes open at their tick, one after the other, each
    // until it is answered; the clock waits meanwhile.
    const Box* openBox() const;
    void answerBox(double nowMs);
    // Every box of the match, in order.
    const std::vector<Box>& boxes() const { return boxes_; }

    // What the screen shows: the form at the tick, or under an open box the form as the box
    // found it.
    const Picture& picture() const;
    // The ball, the players and the counters of picture().
    online::Scene scene() const;
    // Puts picture() on `controls` (another copy of the form's, which the host draws).
    void showOn(Controls& controls) const;

    // What the screen says of where the replay stands: "Tick 1234 of 38400 - 0:19.28 of
    // 10:00.00", "Speed 1/2".
    std::string positionLine() const;
    std::string speedText() const;

    // Whether anything the screen shows changed since the last call.
    bool takeChanged();

  private:
    class Form;
    struct Saved;

    void goTo(std::uint32_t tick);
    void runTo(std::size_t events);
    void restoreSaved(std::size_t index);
    void anchorClock(double nowMs);
    void openBoxesAt(std::uint32_t tick);

    std::string problem_;
    bool loaded_ = false;
    std::optional<ReplayRecord> record_;
    std::unique_ptr<Form> form_;
    std::vector<Saved> saved_;  // saved_[i]: after i * kSavedEvery commands
    std::vector<Box> boxes_;
    std::vector<Mark> marks_;
    std::size_t run_ = 0;  // the commands the form has run
    std::uint32_t tick_ = 0;
    Picture picture_;                                  // the form at tick_
    std::size_t boxesOpenFrom_ = 0, boxesOpenTo_ = 0;  // boxes_[from, to) wait for their OK
    bool playing_ = false;
    std::size_t speedIndex_ = 2;
    double anchorMs_ = 0;  // the clock's time at anchorTick_
    std::uint32_t anchorTick_ = 0;
    bool changed_ = true;
};

// A tick's time from the match's start, as a stopwatch shows it: "m:ss.cc".
std::string clockText(std::uint32_t tick);
// A speed as the player reads it: "1/4", "1/2", "1", "2", "4".
std::string speedName(double speed);

}  // namespace voltaro::client
