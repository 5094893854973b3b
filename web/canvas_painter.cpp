#include "web/canvas_painter.h"

#include <cmath>

#include "web/page_imports.h"
#include "web/scene_commands.h"

namespace voltaro {

namespace {

int clientPixels(int twips) {
    return static_cast<int>(std::lround(twips / Drawing::kTwipsPerPixel));
}

}  // namespace

CanvasPainter::CanvasPainter(Controls& controls, const FormRecord& form)
    : controls_(controls), form_(form) {
    controls_.setObserver(this);
}

CanvasPainter::~CanvasPainter() {
    controls_.setObserver(nullptr);
}

void CanvasPainter::open() {
    ratio_ = voltaro_page_open(form_.caption, clientPixels(form_.clientWidth),
                               clientPixels(form_.clientHeight));
}

void CanvasPainter::setRatio(double ratio) {
    ratio_ = ratio;
    drawAll();
}

void CanvasPainter::shapeMoved(const Shape& shape, const TwipBox& before) {
    const Drawing drawing(ratio_);
    dirty(drawing.dirtied(before));
    dirty(drawing.dirtied(shape.box()));
}

void CanvasPainter::captionChanged(const Label& label) {
    dirty(Drawing(ratio_).dirtied(label.box()));
}

// What changed during one call into the page's module is drawn once, as one rectangle, before
// the call returns or a box opens.
void CanvasPainter::dirty(const DeviceRect& rect) {
    dirty_ = dirty_.united(rect.intersected(canvasRect()));
}

// The client area in device pixels: the canvas.
DeviceRect CanvasPainter::canvasRect() const {
    return Drawing(ratio_).deviceRect(
        {0, 0, clientPixels(form_.clientWidth), clientPixels(form_.clientHeight)});
}

void CanvasPainter::drawAll() {
    dirty_ = canvasRect();
    drawDirty();
}

void CanvasPainter::drawDirty() {
    if (dirty_.empty()) {
        return;
    }
    primitives_.clear();
    Drawing(ratio_).drawScene(controls_, form_.backColour, dirty_, primitives_);
    commands_.clear();
    toCanvas(primitives_, dirty_, commands_);
    dirty_ = {};
    voltaro_page_draw(commands_.words().data(), static_cast<int>(commands_.words().size()),
                      commands_.texts().c_str());
}

}  // namespace voltaro
