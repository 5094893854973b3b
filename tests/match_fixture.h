#pragma once

#include <gtest/gtest.h>

#include "game/form1.h"
#include "scene/event_wiring.h"
#include "scene/recording_host.h"

namespace voltaro::test {

// A match on the recording host, loaded and ready for events.
struct Match {
    Match() { wiring.load(); }

    Shape& shape(const char* name) { return host.controls().shape(name); }
    Label& label(const char* name) { return host.controls().label(name); }
    const MatchState& state() const { return form.state(); }

    void place(const char* name, float left, float top) {
        shape(name).setLeft(left);
        shape(name).setTop(top);
    }
    void ballTick() { wiring.timerTick(host.controls().timer("tmrBall")); }
    void goalTick() { wiring.timerTick(host.controls().timer("tmrGoal")); }
    void key(std::int16_t code) { wiring.keyDown(code); }

    void expectAt(const char* name, float left, float top) {
        EXPECT_EQ(shape(name).Left(), left) << name;
        EXPECT_EQ(shape(name).Top(), top) << name;
    }
    void expectDirections(const char* x, const char* y) {
        EXPECT_EQ(state().strDirX, x);
        EXPECT_EQ(state().strDirY, y);
    }

    RecordingHost host;
    Form1 form{host};
    EventWiring wiring{host, form};
};

class MatchTest : public ::testing::Test, public Match {};

}  // namespace voltaro::test
