#pragma once

#include <cstdint>
#include <span>
#include <variant>

#include "scene/colour.h"

namespace voltaro {

// Design-time data of Form1: what the form designer saved, in twips, in list order.

struct FormRecord {
    const char* name;
    const char* caption;
    Colour backColour;
    int clientWidth;  // twips
    int clientHeight;
    int startLeft;  // client area's top-left on the screen, twips
    int startTop;
    float scaleLeft;
    float scaleTop;
};

enum class ShapeKind { Rectangle, Circle };
enum class FillStyle { Solid, Transparent, DiagonalCross };
enum class Alignment { Left, Centre };

struct ShapeRecord {
    ShapeKind kind;
    float left, top, width, height;
    Colour border;
    FillStyle fill;
    Colour fillColour;
};

struct LineRecord {
    float x1, y1, x2, y2;
    Colour colour;
};

struct FontRecord {
    const char* name;
    float points;
    int weight;  // 400 regular, 700 bold
};

struct LabelRecord {
    const char* caption;
    float left, top, width, height;
    Alignment alignment;
    Colour foreColour;
    Colour backColour;
    FontRecord font;
};

struct TimerRecord {
    int interval;  // milliseconds requested of the host
    bool enabled;
};

inline constexpr std::int16_t kNoIndex = -1;

struct ControlRecord {
    int number;  // place in the list: creation order, and 1 is drawn on top
    const char* name;
    std::int16_t index;  // element of a control array, or kNoIndex
    std::variant<ShapeRecord, LineRecord, LabelRecord, TimerRecord> body;
};

const FormRecord& form1Record();
std::span<const ControlRecord> form1Controls();

}  // namespace voltaro
