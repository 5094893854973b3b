#pragma once

#include <string>

#include "scene/point.h"

namespace voltaro {
class Controls;
}

namespace voltaro::online {

// The pieces' places go over the wire as the form holds them.
using voltaro::Point;

// Everything of the form that a match changes, and so all a client needs to draw what the
// server's match shows: the ball, both players and both counters. The rest of the form never
// moves and every client has it already.
struct Scene {
    Point ball{6000, 3240};
    Point red{1920, 3360};
    Point blue{9840, 3360};
    std::string redScore = "0";
    std::string blueScore = "0";
    friend bool operator==(const Scene&, const Scene&) = default;
};

// The scene the form's controls show now.
Scene sceneOn(const Controls& controls);

}  // namespace voltaro::online
