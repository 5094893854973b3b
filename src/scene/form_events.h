#pragma once

#include <cstdint>

namespace voltaro {

// The four event procedures of the form: everything the game does happens in one of them.
class FormEvents {
  public:
    virtual ~FormEvents() = default;
    virtual void Form_Load() = 0;
    virtual void Form_KeyDown(std::int16_t& KeyCode, std::int16_t Shift) = 0;  // NOLINT
    virtual void tmrBall_Timer() = 0;
    virtual void tmrGoal_Timer() = 0;
};

}  // namespace voltaro
