#include "web/scene_commands.h"

#include <string>

namespace voltaro {

namespace {

std::uint32_t rgb(Rgb c) {
    return (std::uint32_t{c.red} << 16) | (std::uint32_t{c.green} << 8) | c.blue;
}

// The face's families as a CSS font-family list, best first.
std::string cssFamilies(const Face& face) {
    std::string list;
    for (std::string_view family : face.families) {
        if (!family.empty()) {
            list += (list.empty() ? "\"" : ", \"");
            list += family;
            list += '"';
        }
    }
    return list;
}

struct ToCanvas {
    CanvasCommands& out;

    void operator()(const FillRect& r) const {
        out.rect(r.box.left, r.box.top, r.box.width, r.box.height, rgb(r.colour));
    }

    void operator()(const Ellipse& e) const {
        CanvasCommands::Fill fill;
        fill.solid = e.fill == EllipseFill::Solid;
        fill.hatchScale = e.fill == EllipseFill::DiagonalCross ? 1 : 0;  // device pixels
        fill.rgb = rgb(e.fillColour);
        out.ellipse(e.box.left, e.box.top, e.box.width, e.box.height, e.pen, rgb(e.outline), fill);
    }

    void operator()(const LineSegment& l) const {
        out.line(l.x1, l.y1, l.x2, l.y2, l.width, rgb(l.colour));
    }

    void operator()(const Text& t) const {
        out.text(t.box.left, t.box.top, t.box.width, t.box.height, rgb(t.colour), t.pixelSize,
                 t.weight, t.align == TextAlign::Centre, t.text, cssFamilies(t.face));
    }
};

}  // namespace

void toCanvas(const std::vector<Primitive>& primitives, const DeviceRect& clip,
              CanvasCommands& out) {
    out.clip(clip.left, clip.top, clip.width, clip.height);
    for (const Primitive& primitive : primitives) {
        std::visit(ToCanvas{out}, primitive);
    }
    out.unclip();
}

}  // namespace voltaro
