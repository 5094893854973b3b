#include "scene/event_wiring.h"

namespace voltaro {

EventWiring::EventWiring(FormSite& host, FormEvents& form) : host_(host), form_(form) {}

template <typename Procedure>
bool EventWiring::deliver(Procedure&& procedure) {
    if (ended_ || host_.messageBoxOpen()) {
        return false;
    }
    try {
        procedure();
    } catch (const ProgramEnd&) {
        finish(0);
    } catch (const RuntimeError& error) {
        ended_ = true;  // nothing may run while the report is on screen
        host_.reportRuntimeError(error);
        finish(1);
    }
    return true;
}

void EventWiring::finish(int exitStatus) {
    ended_ = true;
    exitStatus_ = exitStatus;
    host_.programEnded(exitStatus);
}

void EventWiring::load() {
    if (loaded_) {
        return;
    }
    loaded_ = true;
    deliver([this] { form_.Form_Load(); });
}

bool EventWiring::keyDown(std::int16_t keyCode, std::int16_t shift) {
    if (!loaded_) {
        return false;
    }
    return deliver([&] { form_.Form_KeyDown(keyCode, shift); });
}

bool EventWiring::timerTick(const Timer& timer) {
    if (!loaded_ || !timer.Enabled()) {
        return false;
    }
    if (timer.name() == "tmrBall") {
        return deliver([this] { form_.tmrBall_Timer(); });
    }
    if (timer.name() == "tmrGoal") {
        return deliver([this] { form_.tmrGoal_Timer(); });
    }
    return false;
}

void EventWiring::closeWindow() {
    if (!ended_) {
        finish(0);
    }
}

}  // namespace voltaro
