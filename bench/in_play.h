#pragma once

#include <cstdint>

#include "game/form1.h"
#include "scene/event_wiring.h"
#include "scene/recording_host.h"

namespace voltaro::bench {

// A match in play: a key has been pressed, so the ball rebounds from the players.
struct InPlay {
    InPlay() {
        wiring.load();
        std::int16_t space = 32;
        form.Form_KeyDown(space, 0);
    }
    RecordingHost host;
    Form1 form{host};
    EventWiring wiring{host, form};
};

}  // namespace voltaro::bench
