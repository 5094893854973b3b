#include "scene/drawing.h"

#include <algorithm>
#include <cmath>

namespace voltaro {

namespace {

// Positions are not limited by the game (the ball may travel far away before the first key
// press), so pixel coordinates are clamped to a range that stays exact in an int.
constexpr double kFarAway = 1'000'000.0;

int clampedRound(double v) {
    return static_cast<int>(std::lround(std::clamp(v, -kFarAway, kFarAway)));
}

// A rectangle given by its first and last pixels, both included.
DeviceRect spanning(int x0, int y0, int x1, int y1) {
    return {x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

constexpr Rgb kWhite{0xFF, 0xFF, 0xFF};
constexpr Rgb kBlack{0x00, 0x00, 0x00};

}  // namespace

bool DeviceRect::intersects(const DeviceRect& other) const {
    return !empty() && !other.empty() && left < other.right() && other.left < right() &&
           top < other.bottom() && other.top < bottom();
}

bool DeviceRect::contains(const DeviceRect& other) const {
    return !other.empty() && left <= other.left && other.right() <= right() && top <= other.top &&
           other.bottom() <= bottom();
}

DeviceRect DeviceRect::united(const DeviceRect& other) const {
    if (empty()) {
        return other;
    }
    if (other.empty()) {
        return *this;
    }
    const int l = std::min(left, other.left);
    const int t = std::min(top, other.top);
    return {l, t, std::max(right(), other.right()) - l, std::max(bottom(), other.bottom()) - t};
}

DeviceRect DeviceRect::intersected(const DeviceRect& other) const {
    const int l = std::max(left, other.left);
    const int t = std::max(top, other.top);
    const int r = std::min(right(), other.right());
    const int b = std::min(bottom(), other.bottom());
    return r > l && b > t ? DeviceRect{l, t, r - l, b - t} : DeviceRect{};
}

Rgb resolve(Colour colour) {
    if (!colour.isSystem()) {
        return {static_cast<std::uint8_t>(colour.red()), static_cast<std::uint8_t>(colour.green()),
                static_cast<std::uint8_t>(colour.blue())};
    }
    return colour == kWindowBackground ? kWhite : kBlack;
}

Face faceFor(std::string_view classicName) {
    if (classicName == "MS Sans Serif") {
        return {classicName, {"Liberation Sans", "Arial", "DejaVu Sans"}};
    }
    if (classicName == "Viner Hand ITC") {
        return {classicName, {"Dancing Script", "URW Chancery L", "Z003"}};
    }
    return {classicName, {classicName, {}, {}}};
}

Drawing::Drawing(double ratio)
    : ratio_(ratio), pen_(std::max(1, static_cast<int>(std::lround(ratio)))) {}

int Drawing::px(double twips) const {
    return clampedRound(twips * ratio_ / kTwipsPerPixel);
}

DeviceRect Drawing::deviceBox(const TwipBox& b) const {
    const int x0 = px(b.left);
    const int y0 = px(b.top);
    return {x0, y0, px(double(b.left) + b.width) - x0, px(double(b.top) + b.height) - y0};
}

DeviceRect Drawing::deviceRect(const DeviceRect& logical) const {
    const int x0 = static_cast<int>(std::floor(logical.left * ratio_));
    const int y0 = static_cast<int>(std::floor(logical.top * ratio_));
    const int x1 = static_cast<int>(std::ceil(logical.right() * ratio_));
    const int y1 = static_cast<int>(std::ceil(logical.bottom() * ratio_));
    return {x0, y0, x1 - x0, y1 - y0};
}

DeviceRect Drawing::dirtied(const TwipBox& box) const {
    return deviceRect(logicalBounds(box));
}

DeviceRect logicalBounds(const TwipBox& box) {
    const double pixel = Drawing::kTwipsPerPixel;
    return spanning(clampedRound(std::floor(box.left / pixel)) - 1,
                    clampedRound(std::floor(box.top / pixel)) - 1,
                    clampedRound(std::ceil((double(box.left) + box.width) / pixel)) + 1,
                    clampedRound(std::ceil((double(box.top) + box.height) / pixel)) + 1);
}

void Drawing::drawScene(const Controls& controls, Colour formBackColour, const DeviceRect& clip,
                        std::vector<Primitive>& out) const {
    out.push_back(FillRect{clip, resolve(formBackColour)});
    const auto& list = controls.inListOrder();
    for (auto control = list.rbegin(); control != list.rend(); ++control) {
        std::visit([&](const auto& c) { draw(c, &clip, out); }, *control);
    }
}

void Drawing::drawControl(const AnyControl& control, std::vector<Primitive>& out) const {
    std::visit([&](const auto& c) { draw(c, nullptr, out); }, control);
}

void Drawing::drawControl(const AnyControl& control, const DeviceRect& clip,
                          std::vector<Primitive>& out) const {
    std::visit([&](const auto& c) { draw(c, &clip, out); }, control);
}

DeviceRect Drawing::reach(const Primitive& primitive) {
    struct Reach {
        DeviceRect operator()(const FillRect& r) const { return r.box; }
        DeviceRect operator()(const Ellipse& e) const { return e.box; }
        DeviceRect operator()(const Text& t) const { return t.box; }
        // The stroke with its square caps, and a pixel more where a slant may round outwards.
        DeviceRect operator()(const LineSegment& l) const {
            const int offset = l.width / 2;
            return spanning(
                std::min(l.x1, l.x2) + offset - l.width, std::min(l.y1, l.y2) + offset - l.width,
                std::max(l.x1, l.x2) + offset + l.width, std::max(l.y1, l.y2) + offset + l.width);
        }
    };
    return std::visit(Reach{}, primitive);
}

namespace {

// Whether the clip lies wholly inside the ring of a circle, away from its outline: then an
// unfilled circle draws nothing there (the centre circle around the ball's few pixels).
bool insideRing(const DeviceRect& box, int pen, const DeviceRect& clip) {
    const double radius = box.width / 2.0 - pen - 1.0;
    const double cx = box.left + box.width / 2.0;
    const double cy = box.top + box.width / 2.0;
    auto inside = [&](double x, double y) {
        return (x - cx) * (x - cx) + (y - cy) * (y - cy) < radius * radius;
    };
    return radius > 0 && inside(clip.left, clip.top) && inside(clip.right(), clip.top) &&
           inside(clip.left, clip.bottom()) && inside(clip.right(), clip.bottom());
}

EllipseFill ellipseFill(FillStyle fill) {
    switch (fill) {
        case FillStyle::Solid:
            return EllipseFill::Solid;
        case FillStyle::DiagonalCross:
            return EllipseFill::DiagonalCross;
        case FillStyle::Transparent:
            break;
    }
    return EllipseFill::None;
}

}  // namespace

void Drawing::draw(const Shape& shape, const DeviceRect* clip, std::vector<Primitive>& out) const {
    const DeviceRect box = deviceBox(shape.box());
    if (box.empty() || (clip && !box.intersects(*clip))) {
        return;
    }
    if (shape.kind() == ShapeKind::Rectangle) {
        // The layout's rectangles are filled solid or not at all. The outline runs along the
        // inside of the box.
        if (shape.fill() == FillStyle::Solid) {
            out.push_back(FillRect{box, resolve(shape.fillColour())});
        }
        const Rgb border = resolve(shape.border());
        const int w = std::min({pen_, box.width, box.height});
        for (const DeviceRect side : {DeviceRect{box.left, box.top, box.width, w},
                                      DeviceRect{box.left, box.bottom() - w, box.width, w},
                                      DeviceRect{box.left, box.top, w, box.height},
                                      DeviceRect{box.right() - w, box.top, w, box.height}}) {
            if (!clip || side.intersects(*clip)) {
                out.push_back(FillRect{side, border});
            }
        }
        return;
    }
    // The largest circle that fits the box, centred in it.
    const TwipBox& b = shape.box();
    const double diameter = std::min(b.width, b.height);
    const double left = b.left + (b.width - diameter) / 2.0;
    const double top = b.top + (b.height - diameter) / 2.0;
    const int x = px(left);
    const int y = px(top);
    const int d = std::min(px(left + diameter) - x, px(top + diameter) - y);
    if (d <= 0) {
        return;
    }
    const DeviceRect square{x, y, d, d};
    if (shape.fill() == FillStyle::Transparent && clip && insideRing(square, pen_, *clip)) {
        return;
    }
    out.push_back(Ellipse{square, pen_, resolve(shape.border()), ellipseFill(shape.fill()),
                          resolve(shape.fillColour())});
}

void Drawing::draw(const Line& line, const DeviceRect* clip, std::vector<Primitive>& out) const {
    const LineSegment segment{px(line.X1()), px(line.Y1()), px(line.X2()),
                              px(line.Y2()), pen_,          resolve(line.colour())};
    if (clip && !reach(segment).intersects(*clip)) {
        return;  // most repaints are the ball's few pixels
    }
    out.push_back(segment);
}

void Drawing::draw(const Label& label, const DeviceRect* clip, std::vector<Primitive>& out) const {
    const DeviceRect box = deviceBox(label.box());
    if (clip && !box.intersects(*clip)) {
        return;
    }
    // Opaque: the whole box in the back colour, then the caption.
    out.push_back(FillRect{box, resolve(label.backColour())});
    const FontRecord& font = label.font();
    // Points at the classic 96 dots per inch, scaled to the device.
    const int pixelSize = std::max(1, clampedRound(font.points * 96.0 / 72.0 * ratio_));
    out.push_back(Text{box, label.Caption(), faceFor(font.name), pixelSize, font.weight,
                       label.alignment() == Alignment::Centre ? TextAlign::Centre : TextAlign::Left,
                       resolve(label.foreColour())});
}

}  // namespace voltaro
