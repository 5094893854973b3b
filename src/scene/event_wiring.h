#pragma once

#include <cstdint>

#include "scene/form_events.h"
#include "scene/form_site.h"

namespace voltaro {

// Turns the host's events into calls of the form's procedures, one at a time, and ends the
// program when a procedure calls End or raises a run-time error.
//
// While one of the game's message boxes is open, key presses and timer ticks are dropped: the
// goal procedure would otherwise be entered again under "Goal!" with the ball still in the goal,
// and count the same goal twice.
class EventWiring {
  public:
    EventWiring(FormSite& host, FormEvents& form);

    // Raises Load; no key or tick reaches the form before it.
    void load();
    // Each returns whether the event reached its procedure.
    bool keyDown(std::int16_t keyCode, std::int16_t shift = 0);
    bool timerTick(const Timer& timer);
    // The window's close button: the program ends with status 0 and no procedure runs.
    void closeWindow();

    bool ended() const { return ended_; }
    int exitStatus() const { return exitStatus_; }

  private:
    template <typename Procedure>
    bool deliver(Procedure&& procedure);
    void finish(int exitStatus);

    FormSite& host_;
    FormEvents& form_;
    bool loaded_ = false;
    bool ended_ = false;
    int exitStatus_ = 0;
};

}  // namespace voltaro
