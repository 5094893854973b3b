#include "qt/scene_painter.h"

#include <QFont>
#include <QPainter>
#include <QPalette>
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

void registerFontSubstitutes() {
    static const bool once = [] {
        QFont::insertSubstitutions("MS Sans Serif", {"Liberation Sans", "Arial", "DejaVu Sans"});
        QFont::insertSubstitutions("Viner Hand ITC", {"Dancing Script", "URW Chancery L", "Z003"});
        return true;
    }();
    (void)once;
}

}  // namespace

SystemColours SystemColours::fromPalette(const QPalette& palette) {
    return {palette.color(QPalette::Active, QPalette::Base),
            palette.color(QPalette::Active, QPalette::WindowText),
            palette.color(QPalette::Active, QPalette::ButtonText)};
}

SystemColours SystemColours::standardScheme() {
    return {Qt::white, Qt::black, Qt::black};
}

// One paint pass: the conversion from twips to device pixels at one pixel ratio.
class ScenePainter::Frame {
  public:
    Frame(const ScenePainter& scene, QPainter& painter, double ratio, const QRect& deviceClip)
        : scene_(scene),
          p_(painter),
          ratio_(ratio),
          lineWidth_(std::max(1, static_cast<int>(std::lround(ratio)))),
          clip_(deviceClip) {}

    int px(double twips) const { return clampedRound(twips * ratio_ / kTwipsPerPixel); }

    QRect deviceRect(const TwipBox& b) const {
        const int x0 = px(b.left);
        const int y0 = px(b.top);
        return {x0, y0, px(double(b.left) + b.width) - x0, px(double(b.top) + b.height) - y0};
    }

    void draw(const Shape& shape) const {
        const QRect box = deviceRect(shape.box());
        if (box.width() <= 0 || box.height() <= 0 || !box.intersects(clip_)) {
            return;
        }
        if (shape.kind() == ShapeKind::Rectangle) {
            drawRectangle(shape, box);
        } else {
            drawCircle(shape);
        }
    }

    void draw(const Line& line) const {
        const int offset = lineWidth_ / 2;  // keep a thick line on the pixels a thin one covers
        const QPoint from(px(line.X1()) + offset, px(line.Y1()) + offset);
        const QPoint to(px(line.X2()) + offset, px(line.Y2()) + offset);
        if (!QRect(from, to)
                 .normalized()
                 .adjusted(-lineWidth_, -lineWidth_, lineWidth_, lineWidth_)
                 .intersects(clip_)) {
            return;  // most repaints are the ball's few pixels
        }
        p_.setPen(QPen(scene_.resolve(line.colour()), lineWidth_, Qt::SolidLine, Qt::SquareCap));
        p_.drawLine(from, to);
    }

    void draw(const Label& label) const {
        const QRect box = deviceRect(label.box());
        if (!box.intersects(clip_)) {
            return;
        }
        p_.fillRect(box, scene_.resolve(label.backColour()));
        p_.save();
        p_.setClipRect(box, Qt::IntersectClip);
        p_.setFont(font(label.font()));
        p_.setPen(scene_.resolve(label.foreColour()));
        const int align = label.alignment() == Alignment::Centre ? Qt::AlignHCenter : Qt::AlignLeft;
        p_.drawText(box, align | Qt::AlignTop | Qt::TextSingleLine,
                    QString::fromStdString(label.Caption()));
        p_.restore();
    }

    void draw(const Timer&) const {}  // invisible

  private:
    QFont font(const FontRecord& record) const {
        QFont f(QString::fromLatin1(record.name));
        // Points at the classic 96 dots per inch, scaled to the device.
        f.setPixelSize(std::max(1, clampedRound(record.points * 96.0 / 72.0 * ratio_)));
        f.setWeight(static_cast<QFont::Weight>(record.weight));
        f.setStyleStrategy(QFont::NoAntialias);
        return f;
    }

    // The outline runs along the inside of the box.
    void drawRectangle(const Shape& shape, const QRect& box) const {
        if (shape.fill() != FillStyle::Transparent) {
            p_.fillRect(box, fillBrush(shape));
        }
        const QColor border = scene_.resolve(shape.border());
        const int w = std::min({lineWidth_, box.width(), box.height()});
        p_.fillRect(QRect(box.left(), box.top(), box.width(), w), border);
        p_.fillRect(QRect(box.left(), box.bottom() - w + 1, box.width(), w), border);
        p_.fillRect(QRect(box.left(), box.top(), w, box.height()), border);
        p_.fillRect(QRect(box.right() - w + 1, box.top(), w, box.height()), border);
    }

    // The largest circle that fits the box, centred in it.
    void drawCircle(const Shape& shape) const {
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
        if (shape.fill() == FillStyle::Transparent && insideRing(x, y, d)) {
            return;  // the centre circle around a repaint of the ball's few pixels
        }
        p_.setBrush(fillBrush(shape));
        p_.setPen(QPen(scene_.resolve(shape.border()), lineWidth_));
        const double inset = lineWidth_ / 2.0;
        p_.drawEllipse(QRectF(x + inset, y + inset, d - lineWidth_, d - lineWidth_));
        p_.setBrush(Qt::NoBrush);
    }

    // Whether the clip lies wholly inside the ring of a circle, away from its outline.
    bool insideRing(int x, int y, int d) const {
        const double radius = d / 2.0 - lineWidth_ - 1.0;
        const double cx = x + d / 2.0;
        const double cy = y + d / 2.0;
        auto inside = [&](double px, double py) {
            return (px - cx) * (px - cx) + (py - cy) * (py - cy) < radius * radius;
        };
        const QRect& c = clip_;
        return radius > 0 && inside(c.left(), c.top()) && inside(c.right() + 1, c.top()) &&
               inside(c.left(), c.bottom() + 1) && inside(c.right() + 1, c.bottom() + 1);
    }

    QBrush fillBrush(const Shape& shape) const {
        switch (shape.fill()) {
            case FillStyle::Solid:
                return QBrush(scene_.resolve(shape.fillColour()));
            case FillStyle::Transparent:
                return Qt::NoBrush;
            case FillStyle::DiagonalCross: {
                // The hatch keeps its 8-pixel pitch in logical pixels at every ratio.
                QBrush hatch(scene_.resolve(shape.fillColour()), Qt::DiagCrossPattern);
                hatch.setTransform(QTransform::fromScale(lineWidth_, lineWidth_));
                return hatch;
            }
        }
        return Qt::NoBrush;
    }

    const ScenePainter& scene_;
    QPainter& p_;
    double ratio_;
    int lineWidth_;
    QRect clip_;
};

ScenePainter::ScenePainter(const Controls& controls, Colour formBackColour, SystemColours colours)
    : controls_(controls), formBackColour_(formBackColour), colours_(colours) {
    registerFontSubstitutes();
}

QColor ScenePainter::resolve(Colour colour) const {
    if (!colour.isSystem()) {
        return QColor(colour.red(), colour.green(), colour.blue());
    }
    switch (colour.systemIndex()) {
        case 5:
            return colours_.windowBackground;
        case 8:
            return colours_.windowText;
        case 18:
            return colours_.buttonText;
        default:
            return Qt::black;
    }
}

void ScenePainter::paint(QPainter& painter, double devicePixelRatio,
                         const QRect& logicalClip) const {
    painter.save();
    // Work in device pixels: the device's own scaling is undone, and every size is computed from
    // twips at the device's resolution instead of scaling a 96-dpi picture.
    painter.setWorldTransform(
        QTransform::fromScale(1.0 / devicePixelRatio, 1.0 / devicePixelRatio));
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    const QRect deviceClip(
        QPoint(static_cast<int>(std::floor(logicalClip.left() * devicePixelRatio)),
               static_cast<int>(std::floor(logicalClip.top() * devicePixelRatio))),
        QPoint(static_cast<int>(std::ceil((logicalClip.right() + 1) * devicePixelRatio)) - 1,
               static_cast<int>(std::ceil((logicalClip.bottom() + 1) * devicePixelRatio)) - 1));
    painter.setClipRect(deviceClip);
    painter.fillRect(deviceClip, resolve(formBackColour_));
    painter.setBrushOrigin(0, 0);

    const Frame frame(*this, painter, devicePixelRatio, deviceClip);
    const auto& list = controls_.inListOrder();
    for (auto control = list.rbegin(); control != list.rend(); ++control) {
        std::visit([&](const auto& c) { frame.draw(c); }, *control);
    }
    painter.restore();
}

QRect ScenePainter::logicalBounds(const TwipBox& box) {
    const int x0 = clampedRound(std::floor(box.left / kTwipsPerPixel)) - 1;
    const int y0 = clampedRound(std::floor(box.top / kTwipsPerPixel)) - 1;
    const int x1 = clampedRound(std::ceil((double(box.left) + box.width) / kTwipsPerPixel)) + 1;
    const int y1 = clampedRound(std::ceil((double(box.top) + box.height) / kTwipsPerPixel)) + 1;
    return QRect(QPoint(x0, y0), QPoint(x1, y1));
}

}  // namespace voltaro
