#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "scene/controls.h"
#include "scene/drawing.h"

namespace voltaro {

// Which controls can touch a device rectangle, found without looking at every control: a repaint
// of the ball's few pixels meets only a handful of the 65. Lines and labels never move, so they
// are sorted once into a coarse grid of the window; the shapes, which may move at any time, are
// always candidates and are tested one by one when drawn.
class SceneIndex {
  public:
    SceneIndex(const Controls& controls, const Drawing& drawing);

    // The primitives that draw what lies in `clip`, bottom of the stack first: the same as
    // Drawing::drawScene, found through the grid.
    void drawScene(Colour formBackColour, const DeviceRect& clip,
                   std::vector<Primitive>& out) const;

    double ratio() const { return drawing_.ratio(); }

  private:
    static constexpr int kBin = 64;             // device pixels on each side of a cell of the grid
    using Mask = std::array<std::uint64_t, 2>;  // one bit per control, by place in the list

    void mark(Mask& mask, std::size_t place) const;
    Mask candidates(const DeviceRect& clip) const;

    const Controls& controls_;
    Drawing drawing_;
    bool indexed_;     // false for a list too long for a mask: then every control is a candidate
    Mask movable_{};   // the shapes
    DeviceRect grid_;  // in cells
    std::vector<Mask> cells_;
};

}  // namespace voltaro
