#pragma once

#include <QColor>
#include <QRect>

#include "scene/colour.h"
#include "scene/controls.h"

class QPainter;
class QPalette;

namespace voltaro {

// The desktop colour scheme's entries that the form uses.
struct SystemColours {
    QColor windowBackground;  // 5
    QColor windowText;        // 8
    QColor buttonText;        // 18

    static SystemColours fromPalette(const QPalette& palette);
    static SystemColours standardScheme();  // white, black, black
};

// Draws the form's controls from their current properties, bottom of the stack first, in device
// pixels, so that outlines and lines stay one logical pixel wide and sharp at any pixel ratio.
class ScenePainter {
  public:
    static constexpr double kTwipsPerPixel = 15.0;

    ScenePainter(const Controls& controls, Colour formBackColour, SystemColours colours);

    // Paints everything that meets `logicalClip` (in logical pixels).
    void paint(QPainter& painter, double devicePixelRatio, const QRect& logicalClip) const;

    // The logical pixels a box of the given twips can touch, for repainting only what moved.
    static QRect logicalBounds(const TwipBox& box);

  private:
    class Frame;

    QColor resolve(Colour colour) const;

    const Controls& controls_;
    Colour formBackColour_;
    SystemColours colours_;
};

}  // namespace voltaro
