#pragma once

#include "computer/side.h"
#include "scene/controls.h"
#include "scene/point.h"

namespace voltaro::computer {

// What the screen shows after a tick: the top-left corners of the ball and the two players,
// as drawn, to the whole pixel.
struct Sighting {
    Point ball, red, blue;

    const Point& player(Side side) const { return side == Side::Red ? red : blue; }
    friend bool operator==(const Sighting&, const Sighting&) = default;
};

// Reads the three pieces off the form's controls, as the screen draws them at 96 dots an inch
// (15 twips to the pixel): a player sees no finer than that.
class Eyes {
  public:
    explicit Eyes(const Controls& controls);
    Sighting look() const;

  private:
    const Shape& ball_;
    const Shape& red_;
    const Shape& blue_;
};

}  // namespace voltaro::computer
