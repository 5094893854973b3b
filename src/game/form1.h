#pragma once

#include <cstdint>
#include <string>

#include "game/match_state.h"
#include "scene/controls.h"
#include "scene/form_events.h"
#include "scene/form_host.h"

namespace voltaro {

// The game's one form. Its controls are the model: the procedures read and write their
// properties, and the form-level variables hold the ball's directions and the box snapshot.
class Form1 final : public FormEvents, private MatchState {
  public:
    explicit Form1(FormHost& host);

    void Form_Load() override;
    void Form_KeyDown(std::int16_t& KeyCode, std::int16_t Shift) override;  // NOLINT
    void tmrBall_Timer() override;
    void tmrGoal_Timer() override;

    // The form-level variables; writable so that a test can set up the case it needs.
    const MatchState& state() const { return *this; }
    MatchState& state() { return *this; }

  private:
    struct PlayerKeys {
        std::int16_t up, down, left, right;
    };

    void takeRedSnapshot();
    void takeBlueSnapshot();
    void takeBallSnapshot();
    static void movePlayer(Shape& player, std::int16_t keyCode, const PlayerKeys& keys,
                           Variant left, Variant right, Integer top, Variant bottom);
    void keepInField(Shape& player);

    void reboundFromPlayer(Variant left, Variant right, Integer top, Variant bottom);

    bool ballInLeftGoal() const;
    bool ballInRightGoal() const;
    [[noreturn]] void scoreGoal(Label& counter, const std::string& winner);

    FormHost& host_;
    Shape& shpRect;
    Shape& shpBall;
    Shape& shpRed;
    Shape& shpBlue;
    Shape& shpGoal1;
    Shape& shpGoal2;
    Label& lblRed;
    Label& lblBlue;
};

}  // namespace voltaro
