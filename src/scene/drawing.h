#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <variant>
#include <vector>

#include "scene/colour.h"
#include "scene/controls.h"

// How the form is drawn, as data that any host can execute: the primitives that show the controls
// at a device-pixel ratio, bottom of the stack first, each in device pixels with its colour
// resolved. A host draws them in order, each over the ones before, with no antialiasing.
//
// Coordinates. A device pixel (x, y) is the square from (x, y) to (x + 1, y + 1); its centre is
// at (x + 0.5, y + 0.5). The origin is the top-left corner of the form's client area. Twips become
// device pixels as round(twips * ratio / 15), half away from zero, clamped to +-1,000,000.
// Every size that is one logical pixel (outlines, lines) is `pen` device pixels with
// pen = max(1, round(ratio)), so lines stay sharp at any ratio.
namespace voltaro {

// A rectangle of whole device pixels: columns left .. left + width - 1, rows top .. top +
// height - 1. Empty when width or height is not positive.
struct DeviceRect {
    int left = 0, top = 0, width = 0, height = 0;

    int right() const { return left + width; }   // one past the last column
    int bottom() const { return top + height; }  // one past the last row
    bool empty() const { return width <= 0 || height <= 0; }
    bool intersects(const DeviceRect& other) const;
    bool contains(const DeviceRect& other) const;
    DeviceRect united(const DeviceRect& other) const;  // the bounding rectangle of both
    DeviceRect intersected(const DeviceRect& other) const;
    friend bool operator==(const DeviceRect&, const DeviceRect&) = default;
};

struct Rgb {
    std::uint8_t red, green, blue;
    friend bool operator==(Rgb, Rgb) = default;
};

// A stored colour as the screen shows it. The system colours are the standard scheme's whatever
// the desktop's theme: window background (5) white, window text (8) and button text (18) black.
// The field's markings are white on green and the legend black, as the form was designed; a dark
// theme must not turn them green on green.
Rgb resolve(Colour colour);

// Every pixel of `box`, in one colour. Outlines of rectangles are four of these.
struct FillRect {
    DeviceRect box;
    Rgb colour;
    friend bool operator==(const FillRect&, const FillRect&) = default;
};

enum class EllipseFill { None, Solid, DiagonalCross };

// A circle filling the square `box` (diameter box.width == box.height == d), with an outline
// `pen` pixels wide along the inside of the box.
//
// Where the pixels fall: the outline is the circle of diameter d - pen whose centre is the box's
// centre, stroked with a pen `pen` wide without antialiasing; the fill is the inside of that same
// circle, drawn first, and the outline drawn over it. (The desktop rasterises it with Qt's
// non-antialiased ellipse: QPainter::drawEllipse(QRectF(left + pen / 2, top + pen / 2, d - pen,
// d - pen)) with a pen of width `pen`. Its pixels lie within the box; the outline's extreme pixels
// touch the box's four sides. A host without that rasteriser comes close with the pixels whose
// centres lie within pen / 2 of that circle for the outline, and inside it for the fill: that
// differs from the desktop in a few pixels along the outline's edges, as Qt draws the circle
// as four Bezier curves and a one-pixel outline with its own line stepping.)
//
// The diagonal-cross hatch is anchored to the device origin, not to the shape, and is drawn in
// device pixels at every ratio (Qt's hatch pattern does not scale, so at ratio 2 it is twice as
// dense as at ratio 1): a pixel (x, y) inside the fill is in the hatch colour when, with
// u = x mod 8 and v = y mod 8 (mathematical modulo, 0..7), either u == v or u + v == 7; every
// other pixel of the fill is left as it is (transparent). So a shape's hatch looks different at
// each position modulo 8 pixels: the phase (left mod 8, top mod 8). A shift by (4, 4) or
// (4, -4) leaves the hatch as it is, so 32 of those 64 phases differ.
struct Ellipse {
    DeviceRect box;
    int pen;
    Rgb outline;
    EllipseFill fill;
    Rgb fillColour;  // for Solid and DiagonalCross

    static constexpr int kHatchPitch = 8;  // device pixels, on both axes
    friend bool operator==(const Ellipse&, const Ellipse&) = default;
};

// A line `width` pixels wide, with square caps, from pixel (x1, y1) to pixel (x2, y2).
//
// Where the pixels fall: the pen's centre runs from (x1 + width / 2, y1 + width / 2) to
// (x2 + width / 2, y2 + width / 2) in pixel-edge coordinates (width / 2 in integers, so 0 for a
// one-pixel line, 1 for two pixels); square caps extend the stroke width / 2 beyond both ends.
// An axis-parallel line therefore covers exactly the pixel rectangle from (min x, min y) to
// (max x + width - 1, max y + width - 1), both ends included. A slanted line (the arrows' 45
// degree sides) is the same stroke rasterised without antialiasing: one pixel per column and row
// from end to end at width 1 (both ends included), and at greater widths the pixels whose centres
// lie inside the stroke's rectangle.
struct LineSegment {
    int x1, y1, x2, y2;
    int width;
    Rgb colour;
    friend bool operator==(const LineSegment&, const LineSegment&) = default;
};

enum class TextAlign { Left, Centre };

// A face as the layout names it ("MS Sans Serif"), and the installed faces that stand for it,
// asked for by their own names, best first.
struct Face {
    std::string_view classicName;
    std::array<std::string_view, 3> families;
    friend bool operator==(const Face&, const Face&) = default;
};

// The face that draws a layout font: Liberation Sans for "MS Sans Serif", Dancing Script for
// "Viner Hand ITC"; an unknown name stands for itself.
Face faceFor(std::string_view classicName);

// One line of text in `box`: its line starts at the box's top edge (the baseline lies the font's
// ascent below it), starting at its left edge or centred
// horizontally in it, never wrapped, clipped to the box, without antialiasing. The font's size is
// in device pixels (the layout's points at 96 dots per inch, times the ratio, rounded, at least
// 1); weight 400 is regular, 700 bold; never italic, underlined or struck through. `text` is the
// label's caption: it stays valid until the caption changes.
struct Text {
    DeviceRect box;
    std::string_view text;
    Face face;
    int pixelSize;
    int weight;
    TextAlign align;
    Rgb colour;
    friend bool operator==(const Text&, const Text&) = default;
};

using Primitive = std::variant<FillRect, Ellipse, LineSegment, Text>;

// The drawing rules at one device-pixel ratio.
class Drawing {
  public:
    static constexpr double kTwipsPerPixel = 15.0;  // at 96 dots per inch, ratio 1

    explicit Drawing(double ratio);

    double ratio() const { return ratio_; }
    int pen() const { return pen_; }
    int px(double twips) const;
    DeviceRect deviceBox(const TwipBox& box) const;

    // The primitives that draw what lies in `clip`, bottom of the stack first, appended to `out`:
    // the form's background over the whole clip, then every control that can touch the clip, the
    // last control of the list first. Pixels outside `clip` may be drawn too: the host clips.
    void drawScene(const Controls& controls, Colour formBackColour, const DeviceRect& clip,
                   std::vector<Primitive>& out) const;

    // The primitives of one control, whatever the clip; and only if it can touch `clip`.
    void drawControl(const AnyControl& control, std::vector<Primitive>& out) const;
    void drawControl(const AnyControl& control, const DeviceRect& clip,
                     std::vector<Primitive>& out) const;

    // Every pixel that a primitive can touch.
    static DeviceRect reach(const Primitive& primitive);

    // The device pixels that a moved shape's box may have touched: the logical pixels around it,
    // one more on every side, at this ratio. A host repaints this for the box before and after.
    DeviceRect dirtied(const TwipBox& box) const;

    // The device rectangle that covers a rectangle of logical pixels.
    DeviceRect deviceRect(const DeviceRect& logical) const;

  private:
    void draw(const Shape& shape, const DeviceRect* clip, std::vector<Primitive>& out) const;
    void draw(const Line& line, const DeviceRect* clip, std::vector<Primitive>& out) const;
    void draw(const Label& label, const DeviceRect* clip, std::vector<Primitive>& out) const;
    void draw(const Timer&, const DeviceRect*, std::vector<Primitive>&) const {}  // invisible

    double ratio_;
    int pen_;
};

// The logical pixels that a box of twips can touch, one more on every side: what a host marks
// for repainting when a shape moves, in the window's own (logical) coordinates.
DeviceRect logicalBounds(const TwipBox& box);

}  // namespace voltaro
