#pragma once

#include <QImage>
#include <QRect>
#include <optional>
#include <vector>

#include "scene/controls.h"
#include "scene/drawing.h"
#include "scene/scene_index.h"

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
    // A circle drawn once into an image, for each hatch phase if it is hatched, and then only
    // copied: the ball moves on every tick, and stroking and hatching it anew each time was most
    // of what a tick cost; the centre circle and the discs are redrawn wherever it passes.
    struct Prepared {
        Ellipse look;  // at the origin
        int phaseX, phaseY;
        QImage image;
    };
    const QImage& prepared(const Ellipse& ellipse);
    void execute(QPainter& painter, const Primitive& primitive);

    const Controls& controls_;
    Colour formBackColour_;
    std::optional<SceneIndex> index_;    // for the ratio last painted at
    std::vector<Primitive> primitives_;  // kept between paints: no allocation per frame
    std::vector<Prepared> prepared_;
};

// Executes primitives of the drawing rules on a painter that works in device pixels.
void execute(QPainter& painter, const Primitive& primitive);

}  // namespace voltaro
