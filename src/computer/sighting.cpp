#include "computer/sighting.h"

#include <cmath>

namespace voltaro::computer {

namespace {

constexpr float kTwipsPerPixel = 15;

Point drawn(const Shape& shape) {
    return {std::round(shape.Left() / kTwipsPerPixel) * kTwipsPerPixel,
            std::round(shape.Top() / kTwipsPerPixel) * kTwipsPerPixel};
}

}  // namespace

Eyes::Eyes(const Controls& controls)
    : ball_(controls.shape("shpBall")),
      red_(controls.shape("shpRed")),
      blue_(controls.shape("shpBlue")) {}

Sighting Eyes::look() const {
    return {drawn(ball_), drawn(red_), drawn(blue_)};
}

}  // namespace voltaro::computer
