#pragma once

#include <vector>

#include "scene/controls.h"
#include "scene/drawing.h"
#include "scene/layout.h"
#include "web/canvas_commands.h"

namespace voltaro {

// The page's canvas for the form's controls: what moves or changes on them is gathered into one
// rectangle of device pixels, and drawn in one go when asked, at the ratio the page gives. The
// local game and an online match both draw through it.
class CanvasPainter final : private ControlObserver {
  public:
    CanvasPainter(Controls& controls, const FormRecord& form);
    ~CanvasPainter() override;
    CanvasPainter(const CanvasPainter&) = delete;
    CanvasPainter& operator=(const CanvasPainter&) = delete;

    // Opens the page's canvas at the client area's size, at the ratio the page chooses.
    void open();
    // The ratio of device pixels to form pixels changed: the whole scene is drawn at the new one.
    void setRatio(double ratio);
    void drawAll();
    // What changed since the last drawing, if anything.
    void drawDirty();

  private:
    void shapeMoved(const Shape& shape, const TwipBox& before) override;
    void captionChanged(const Label& label) override;
    void dirty(const DeviceRect& rect);
    DeviceRect canvasRect() const;

    Controls& controls_;
    const FormRecord& form_;
    double ratio_ = 1.0;
    DeviceRect dirty_;
    std::vector<Primitive> primitives_;
    CanvasCommands commands_;
};

}  // namespace voltaro
