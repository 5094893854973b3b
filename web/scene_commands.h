#pragma once

#include <vector>

#include "scene/drawing.h"
#include "web/canvas_commands.h"

namespace voltaro {

// The scene's primitives, as the page's canvas draws them, clipped to `clip`.
void toCanvas(const std::vector<Primitive>& primitives, const DeviceRect& clip,
              CanvasCommands& out);

}  // namespace voltaro
