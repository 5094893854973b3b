#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "scene/side_keys.h"

namespace voltaro {

// The controls of a pad that the game listens to: the D-pad, the bottom face button (A on an
// Xbox pad, Cross on a PlayStation one), and the left stick's two axes. The four directions come
// first, in the order of PadPlayers' own.
enum class PadButton { Up, Down, Left, Right, Confirm };
enum class PadAxis { X, Y };

// Where the pads' presses go: a side's direction key goes down or up (a key id of its own and
// the key's code, as the keyboard would give it), or the bottom button answers a message box.
class PadOutput {
  public:
    virtual void keyDown(int key, std::int16_t code) = 0;
    virtual void keyUp(int key) = 0;
    virtual void confirm() = 0;

  protected:
    ~PadOutput() = default;
};

// Which pad plays which side, and a pad's D-pad and left stick as that side's four direction
// keys. The first pad plays red (the arrow keys), the second blue (W, A, S, D); a pad keeps its
// side while it is plugged in, and one plugged in while both sides are taken waits for the first
// side to come free. A direction is held while its D-pad button or the stick holds it; the
// stick holds one past half way and lets go below three eighths, so a stick resting near the
// threshold does not flicker a direction on and off (each press would be a step).
class PadPlayers {
  public:
    using PadId = std::int32_t;
    static constexpr int kStickPress = 16384;    // of 32767
    static constexpr int kStickRelease = 12288;  // back inside this, the direction is let go

    explicit PadPlayers(PadOutput& output) : output_(output) {}

    void connect(PadId pad);
    // Its held directions go up; a waiting pad takes its side, with what it holds now.
    void disconnect(PadId pad);
    void button(PadId pad, PadButton button, bool down);
    // `value` from -32768 (left or up) to 32767 (right or down).
    void axis(PadId pad, PadAxis axis, int value);

    bool connected(PadId pad) const;
    std::optional<Side> sideOf(PadId pad) const;
    std::size_t count() const { return pads_.size(); }
    std::vector<PadId> pads() const;

    // The key ids of a side's directions: negative, so never one of the keyboard's key ids.
    static int keyId(Side side, PadButton direction);

  private:
    enum Direction { kUp, kDown, kLeft, kRight, kDirections };
    using Held = std::array<bool, kDirections>;
    struct Pad {
        PadId id;
        std::optional<Side> side;
        Held dpad{};
        Held stick{};
        Held held() const;
    };

    Pad* find(PadId pad);
    const Pad* find(PadId pad) const;
    // Runs `change` on the pad's state and presses or lets go its side's keys to match.
    template <typename Change>
    void update(Pad& pad, Change&& change);
    void seat(Pad& pad, Side side);
    void press(Side side, const Held& before, const Held& after);

    PadOutput& output_;
    std::vector<Pad> pads_;  // in the order they were plugged in
};

}  // namespace voltaro
