#pragma once

#include <QRect>
#include <vector>

#include "scene/controls.h"
#include "scene/drawing.h"

class QPainter;

namespace voltaro {

// Draws the form with QPainter by the scene's drawing rules: it asks for the primitives that
// cover a repaint and executes them, bottom of the stack first, in device pixels, so that
// outlines and lines stay one logical pixel wide and sharp at any pixel ratio.
class ScenePainter {
  public:
    ScenePainter(const Controls& controls, Colour formBackColour);

    // Paints everything that meets `logicalClip` (in logical pixels).
    void paint(QPainter& painter, double devicePixelRatio, const QRect& logicalClip);

    // The logical pixels a box of the given twips can touch, for repainting only what moved.
    static QRect logicalBounds(const TwipBox& box);

  private:
    const Controls& controls_;
    Colour formBackColour_;
    std::vector<Primitive> primitives_;  // kept between paints: no allocation per frame
};

// Executes primitives of the drawing rules on a painter that works in device pixels.
void execute(QPainter& painter, const Primitive& primitive);

}  // namespace voltaro
