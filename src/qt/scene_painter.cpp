#include "qt/scene_painter.h"

#include <QFont>
#include <QPainter>
#include <variant>

namespace voltaro {

namespace {

QColor colour(Rgb rgb) {
    return QColor(rgb.red, rgb.green, rgb.blue);
}

QRect rect(const DeviceRect& r) {
    return QRect(r.left, r.top, r.width, r.height);
}

QString text(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QFont font(const Text& t) {
    QStringList families;
    for (std::string_view family : t.face.families) {
        if (!family.empty()) {
            families.append(text(family));
        }
    }
    QFont f;
    f.setFamilies(families);
    f.setPixelSize(t.pixelSize);
    f.setWeight(static_cast<QFont::Weight>(t.weight));
    f.setStyleStrategy(QFont::NoAntialias);
    return f;
}

QBrush brush(const Ellipse& e) {
    switch (e.fill) {
        case EllipseFill::Solid:
            return QBrush(colour(e.fillColour));
        case EllipseFill::None:
            return Qt::NoBrush;
        case EllipseFill::DiagonalCross:
            // Qt's 8-pixel pattern, in device pixels, anchored at the brush origin.
            return QBrush(colour(e.fillColour), Qt::DiagCrossPattern);
    }
    return Qt::NoBrush;
}

struct Executor {
    QPainter& p;

    void operator()(const FillRect& r) const { p.fillRect(rect(r.box), colour(r.colour)); }

    void operator()(const Ellipse& e) const {
        p.setBrush(brush(e));
        p.setPen(QPen(colour(e.outline), e.pen));
        const double inset = e.pen / 2.0;
        p.drawEllipse(QRectF(e.box.left + inset, e.box.top + inset, e.box.width - e.pen,
                             e.box.height - e.pen));
        p.setBrush(Qt::NoBrush);
    }

    void operator()(const LineSegment& l) const {
        const int offset = l.width / 2;  // a thick line keeps the pixels a thin one covers
        p.setPen(QPen(colour(l.colour), l.width, Qt::SolidLine, Qt::SquareCap));
        p.drawLine(QPoint(l.x1 + offset, l.y1 + offset), QPoint(l.x2 + offset, l.y2 + offset));
    }

    void operator()(const Text& t) const {
        p.save();
        p.setClipRect(rect(t.box), Qt::IntersectClip);
        p.setFont(font(t));
        p.setPen(colour(t.colour));
        const int align = t.align == TextAlign::Centre ? Qt::AlignHCenter : Qt::AlignLeft;
        p.drawText(rect(t.box), align | Qt::AlignTop | Qt::TextSingleLine, text(t.text));
        p.restore();
    }
};

}  // namespace

void execute(QPainter& painter, const Primitive& primitive) {
    std::visit(Executor{painter}, primitive);
}

ScenePainter::ScenePainter(const Controls& controls, Colour formBackColour)
    : controls_(controls), formBackColour_(formBackColour) {}

bool sameLook(const Ellipse& a, const Ellipse& b) {
    return a.box.width == b.box.width && a.box.height == b.box.height && a.pen == b.pen &&
           a.outline == b.outline && a.fill == b.fill && a.fillColour == b.fillColour;
}

int phase(int v) {
    return ((v % Ellipse::kHatchPitch) + Ellipse::kHatchPitch) % Ellipse::kHatchPitch;
}

const QImage& ScenePainter::prepared(const Ellipse& e) {
    // Only a hatch depends on where the circle stands.
    const bool hatched = e.fill == EllipseFill::DiagonalCross;
    int px = hatched ? phase(e.box.left) : 0;
    int py = hatched ? phase(e.box.top) : 0;
    if (px >= Ellipse::kHatchPitch / 2) {  // the same hatch four pixels down each diagonal
        px -= Ellipse::kHatchPitch / 2;
        py = phase(py - Ellipse::kHatchPitch / 2);
    }
    for (const Prepared& p : prepared_) {
        if (p.phaseX == px && p.phaseY == py && sameLook(p.look, e)) {
            return p.image;
        }
    }
    Ellipse atOrigin = e;
    atOrigin.box.left = 0;
    atOrigin.box.top = 0;
    QImage image(e.box.width, e.box.height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setBrushOrigin(-px, -py);  // the hatch stays anchored to the window
        voltaro::execute(p, atOrigin);
    }
    prepared_.push_back({atOrigin, px, py, std::move(image)});
    return prepared_.back().image;
}

void ScenePainter::execute(QPainter& painter, const Primitive& primitive) {
    if (const auto* e = std::get_if<Ellipse>(&primitive)) {
        painter.drawImage(QPoint(e->box.left, e->box.top), prepared(*e));
        return;
    }
    voltaro::execute(painter, primitive);
}

void ScenePainter::paint(QPainter& painter, double devicePixelRatio, const QRect& logicalClip) {
    if (!index_ || index_->ratio() != devicePixelRatio) {
        index_.emplace(controls_, Drawing(devicePixelRatio));
        prepared_.clear();
    }
    const DeviceRect clip = Drawing(devicePixelRatio)
                                .deviceRect({logicalClip.x(), logicalClip.y(), logicalClip.width(),
                                             logicalClip.height()});
    primitives_.clear();
    index_->drawScene(formBackColour_, clip, primitives_);

    painter.save();
    // Work in device pixels: the device's own scaling is undone, and every size is computed from
    // twips at the device's resolution instead of scaling a 96-dpi picture.
    painter.setWorldTransform(
        QTransform::fromScale(1.0 / devicePixelRatio, 1.0 / devicePixelRatio));
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setClipRect(rect(clip));
    painter.setBrushOrigin(0, 0);  // the hatch is anchored to the window
    for (const Primitive& primitive : primitives_) {
        execute(painter, primitive);
    }
    painter.restore();
}

QRect ScenePainter::logicalBounds(const TwipBox& box) {
    return rect(voltaro::logicalBounds(box));
}

}  // namespace voltaro
