#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace voltaro {

// What the page's canvas executes: whole-device-pixel rectangles (solid or hatched) and text.
// A 2D canvas smooths the edges of every path it fills or strokes, so circles and slanted lines
// arrive here already turned into rows of whole pixels, and the page draws nothing but
// rectangles on the pixel grid: the picture is as sharp as the desktop's at any pixel ratio.
//
// The commands are a flat list of 32-bit words, read by the page (page.js):
//   Rect  x y w h rgb
//   Hatch x y w h rgb scale   the diagonal-cross pattern, each pattern pixel scale x scale
//                             device pixels, anchored at the canvas's origin
//   Text  x y w h rgb pixelSize weight centred textOffset textLength familiesOffset
//         familiesLength      one line of text from the box's top, clipped to the box; the
//                             families are a CSS font-family list
//   Clip  x y w h             until the matching Unclip, nothing is drawn outside the box
//   Unclip
class CanvasCommands {
  public:
    enum Op : std::int32_t { kRect = 1, kHatch = 2, kText = 3, kClip = 4, kUnclip = 5 };

    void clear();
    void rect(int x, int y, int w, int h, std::uint32_t rgb);
    void hatch(int x, int y, int w, int h, std::uint32_t rgb, int scale);
    void text(int x, int y, int w, int h, std::uint32_t rgb, int pixelSize, int weight,
              bool centred, std::string_view text, std::string_view families);
    void clip(int x, int y, int w, int h);
    void unclip();

    // A line `width` device pixels thick with square caps, from pixel (x0, y0) to pixel (x1, y1):
    // one rectangle when it is upright or level; slanted, one pixel per column and row at width
    // 1, else the pixels whose centres lie inside the stroke.
    void line(int x0, int y0, int x1, int y1, int width, std::uint32_t rgb);
    // The ellipse that fills the box of w x h device pixels at (x, y): its outline `penWidth`
    // thick along the inside of the box, its inside solid, hatched (hatchScale > 0) or left as
    // it is. A pixel belongs to the ellipse when its centre does.
    struct Fill {
        bool solid = false;
        int hatchScale = 0;
        std::uint32_t rgb = 0;
    };
    void ellipse(int x, int y, int w, int h, int penWidth, std::uint32_t penRgb, Fill fill);

    const std::vector<std::int32_t>& words() const { return words_; }
    const std::string& texts() const { return texts_; }

  private:
    void span(int x0, int x1, int y, int rows, std::uint32_t rgb, int hatchScale);
    void thinSlantedLine(int x0, int y0, int x1, int y1, std::uint32_t rgb);
    void thickSlantedLine(int x0, int y0, int x1, int y1, int width, std::uint32_t rgb);
    void put(std::initializer_list<std::int32_t> words);

    std::vector<std::int32_t> words_;
    std::string texts_;
};

}  // namespace voltaro
