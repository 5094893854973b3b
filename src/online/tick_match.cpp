#include "online/tick_match.h"

#include <array>
#include <chrono>
#include <optional>
#include <string>

#include "game/form1.h"
#include "online/player_keys.h"
#include "online/protocol.h"
#include "online/snapshot.h"
#include "scene/event_wiring.h"
#include "scene/form_site.h"
#include "scene/paced_timers.h"
#include "scene/side_keys.h"

namespace voltaro::online {

namespace {

using Duration = PacedTimers::Duration;

constexpr Duration kPeriod = std::chrono::microseconds(TickMatch::kPeriodUs);
// No "# tick" line written yet since the match was loaded or restored.
constexpr std::uint32_t kNoneNoted = 0xFFFFFFFF;

Duration micros(std::uint32_t us) {
    return std::chrono::microseconds(us);
}

PlayerKeys defaultKeys() {
    const RepeatTiming usual;  // until a player says their keyboard's settings
    return PlayerKeys(micros(usual.delayUs), micros(usual.intervalUs));
}

Point placeOf(const Shape& shape) {
    return {shape.Left(), shape.Top()};
}

void place(Shape& shape, Point point) {
    shape.setLeft(point.left);
    shape.setTop(point.top);
}

}  // namespace

Scene sceneOn(const Controls& controls) {
    return {placeOf(controls.shape("shpBall")), placeOf(controls.shape("shpRed")),
            placeOf(controls.shape("shpBlue")), controls.label("lblRed").Caption(),
            controls.label("lblBlue").Caption()};
}

std::int16_t ownKeyCode(Seat player, std::int16_t pressed) {
    // An arrow or its letter both move the sender's own player the same way.
    const Side own = player == Seat::Red ? Side::Red : Side::Blue;
    for (const Move move : kMoves) {
        if (pressed == keyCode(Side::Red, move) || pressed == keyCode(Side::Blue, move)) {
            return keyCode(own, move);
        }
    }
    return pressed;
}

// The form's host for one online match: nothing waits here, and the wall clock never enters.
class TickMatch::Engine final : public FormSite {
  public:
    explicit Engine(MatchLog* log)
        : log_(log),
          form_(*this),
          keys_{defaultKeys(), defaultKeys()},
          ball_(controls().shape("shpBall")),
          red_(controls().shape("shpRed")),
          blue_(controls().shape("shpBlue")),
          redScore_(controls().label("lblRed")),
          blueScore_(controls().label("lblBlue")) {
        wiring_.emplace(*this, form_);
        noteTick();
        wiring_->load();
        timers_.start(controls(), Duration::zero());
    }

    void step(std::span<const Input> inputs) {
        ++tick_;
        if (open()) {
            deliverTimers();
            deliverRepeats();
        }
        apply(inputs);
    }

    void apply(std::span<const Input> inputs) {
        for (const Input& input : inputs) {
            take(input);
        }
    }

    std::uint32_t tick() const { return tick_; }
    bool paused() const { return paused_; }
    bool ended() const { return ended_; }
    const std::vector<Box>& boxes() const { return boxes_; }

    Scene scene() const {
        return {placeOf(ball_), placeOf(red_), placeOf(blue_), redScore_.Caption(),
                blueScore_.Caption()};
    }

    Snapshot snapshot() const {
        return {tick_,
                paused_,
                ended_,
                scene(),
                form_.state(),
                timers_.deadlines(),
                {keys_[0].state(), keys_[1].state()},
                boxes_};
    }

    void restore(const Snapshot& snapshot) {
        if (wiring_->ended()) {
            // A wiring that has ended stays ended: a fresh one, loaded as this match was.
            wiring_.emplace(*this, form_);
            wiring_->load();
        }
        tick_ = snapshot.tick;
        paused_ = snapshot.paused;
        ended_ = snapshot.ended;
        place(ball_, snapshot.scene.ball);
        place(red_, snapshot.scene.red);
        place(blue_, snapshot.scene.blue);
        redScore_.setCaption(snapshot.scene.redScore);
        blueScore_.setCaption(snapshot.scene.blueScore);
        form_.state() = snapshot.form;
        timers_.restore(snapshot.timers);
        keys_[0].restore(snapshot.keys[0]);
        keys_[1].restore(snapshot.keys[1]);
        boxes_ = snapshot.boxes;
        noted_ = kNoneNoted;
    }

    void programEnded(int) override {
        ended_ = true;
        releaseKeys();
        if (log_) {
            log_->finish();
        }
    }

    void reportRuntimeError(const RuntimeError& error) override {
        comment("error " + error.report());
        boxes_.push_back({error.report(), scene()});
        ended_ = true;
    }

  protected:
    // The box is noted and answered at once: the procedure runs to its end, and nothing more
    // reaches the form (every box of the game ends the match).
    void showMessageBox(const std::string& prompt) override {
        comment("box " + prompt);
        boxes_.push_back({prompt, scene()});
        ended_ = true;
        releaseKeys();
    }

  private:
    // Whether anything may reach the form now.
    bool open() const { return !ended_ && !paused_; }
    Duration now() const { return kPeriod * tick_; }
    PlayerKeys& keysOf(Seat player) { return keys_[player == Seat::Red ? 0 : 1]; }

    void releaseKeys() {
        for (PlayerKeys& keys : keys_) {
            keys.releaseAll();
        }
    }

    // Written before it runs: the tick that ends the match closes the record.
    void deliverTimers() {
        const PacedTimers::Due due = timers_.takeDue(now());
        for (const Timer* timer : due) {
            if (!open()) {
                break;
            }
            line(timer->name() == "tmrBall" ? "ball" : "goal");
            wiring_->timerTick(*timer);
        }
    }

    // Each player's due repeats, the player whose repeat fell due first going first.
    void deliverRepeats() {
        KeyRepeat& red = keys_[0].repeats();
        KeyRepeat& blue = keys_[1].repeats();
        const auto redDue = red.nextDue().value_or(Duration::max());
        const auto blueDue = blue.nextDue().value_or(Duration::max());
        for (KeyRepeat* keys :
             redDue <= blueDue ? std::array{&red, &blue} : std::array{&blue, &red}) {
            if (open() && keys->anyHeld()) {
                keys->deliverDue(now(), [this](std::int16_t code) { deliverKey(code); });
            }
        }
    }

    void deliverKey(std::int16_t code) {
        if (!open()) {
            return;
        }
        if (log_) {  // the clients' matches write no record: no text made for it either
            line("key " + std::to_string(code));
        }
        wiring_->keyDown(code);
    }

    void take(const Input& input) {
        switch (input.kind) {
            case Input::Kind::KeyDown:
                press(input.seat, input.key);
                break;
            case Input::Kind::KeyUp:
                if (input.seat != Seat::Spectator) {
                    keysOf(input.seat).release(input.key);
                }
                break;
            case Input::Kind::FocusLost:
                if (input.seat != Seat::Spectator) {
                    keysOf(input.seat).releaseAll();
                }
                break;
            case Input::Kind::KeyRepeat:
                if (input.seat != Seat::Spectator) {
                    keysOf(input.seat)
                        .repeats()
                        .setTiming(micros(input.delayUs), micros(input.intervalUs));
                }
                break;
            case Input::Kind::Pause:
                paused_ = true;
                releaseKeys();  // their releases went wherever the players were meanwhile
                break;
            case Input::Kind::Resume:
                if (paused_) {
                    paused_ = false;
                    timers_.dropDue(now());  // the grid goes on from here, as after a box
                }
                break;
        }
    }

    void press(Seat player, std::int16_t pressed) {
        if (player == Seat::Spectator || !open()) {
            return;
        }
        // What fell due before the press comes first: new repeat settings in this tick may have
        // made a repeat due.
        deliverRepeats();
        const std::int16_t code = ownKeyCode(player, pressed);
        // A key held already repeats on its own schedule; one beyond a keyboard's rollover
        // does nothing.
        if (keysOf(player).press(pressed, code, now()) == PlayerKeys::Press::New) {
            deliverKey(code);
        }
    }

    void line(std::string_view text) {
        if (log_) {
            noteTick();
            log_->line(text);
        }
    }

    void comment(std::string_view text) {
        if (log_) {
            log_->comment(text);
        }
    }

    // A "# tick N" line before the first event of each tick: the record says when everything
    // happened, also after a pause.
    void noteTick() {
        if (log_ && noted_ != tick_) {
            noted_ = tick_;
            log_->tick(tick_);
        }
    }

    MatchLog* log_;
    Form1 form_;
    std::optional<EventWiring> wiring_;
    PacedTimers timers_;
    std::array<PlayerKeys, 2> keys_;  // red's, blue's
    std::vector<Box> boxes_;
    std::uint32_t tick_ = 0;
    std::uint32_t noted_ = kNoneNoted;
    bool paused_ = false;
    bool ended_ = false;
    Shape& ball_;
    Shape& red_;
    Shape& blue_;
    Label& redScore_;
    Label& blueScore_;
};

TickMatch::TickMatch(MatchLog* log) : engine_(std::make_unique<Engine>(log)) {}
TickMatch::~TickMatch() = default;

std::uint32_t TickMatch::tick() const {
    return engine_->tick();
}
void TickMatch::step(std::span<const Input> inputs) {
    engine_->step(inputs);
}
void TickMatch::apply(std::span<const Input> inputs) {
    engine_->apply(inputs);
}
bool TickMatch::paused() const {
    return engine_->paused();
}
bool TickMatch::ended() const {
    return engine_->ended();
}
const std::vector<TickMatch::Box>& TickMatch::boxes() const {
    return engine_->boxes();
}
Scene TickMatch::scene() const {
    return engine_->scene();
}
TickMatch::Snapshot TickMatch::snapshot() const {
    return engine_->snapshot();
}
void TickMatch::restore(const Snapshot& snapshot) {
    engine_->restore(snapshot);
}
std::uint64_t TickMatch::digest() const {
    return digestOf(encode(snapshot()));
}

}  // namespace voltaro::online
