#include "scene/layout.h"

#include <array>

namespace voltaro {

namespace {

constexpr Colour kGreen = Colour::rgb(0x00C000);
constexpr Colour kWhite = Colour::rgb(0xFFFFFF);
constexpr Colour kRed = Colour::rgb(0xFF0000);
constexpr Colour kBlue = Colour::rgb(0x0000FF);
constexpr Colour kDarkGrey = Colour::rgb(0x404040);

constexpr FontRecord kKeyFont{"MS Sans Serif", 18.0F, 400};
constexpr FontRecord kCounterFont{"MS Sans Serif", 24.0F, 400};

constexpr ControlRecord timer(int no, const char* name, int interval) {
    return {no, name, kNoIndex, TimerRecord{interval, true}};
}

constexpr ControlRecord line(int no, const char* name, float x1, float y1, float x2, float y2,
                             Colour colour) {
    return {no, name, kNoIndex, LineRecord{x1, y1, x2, y2, colour}};
}

constexpr ControlRecord line(int no, const char* name, std::int16_t index, float x1, float y1,
                             float x2, float y2, Colour colour) {
    return {no, name, index, LineRecord{x1, y1, x2, y2, colour}};
}

constexpr ControlRecord label(int no, const char* name, const char* caption, float left, float top,
                              float width, float height, Alignment alignment, Colour fore,
                              FontRecord font) {
    return {no, name, kNoIndex,
            LabelRecord{caption, left, top, width, height, alignment, fore, kGreen, font}};
}

constexpr ControlRecord shape(int no, const char* name, ShapeKind kind, float left, float top,
                              float width, float height, Colour border, FillStyle fill,
                              Colour fillColour = kWhite) {
    return {no, name, kNoIndex,
            ShapeRecord{kind, left, top, width, height, border, fill, fillColour}};
}

constexpr FormRecord kForm1{
    .name = "Form1",
    .caption = "Soccer Game: VOLTARO!",
    .backColour = kGreen,
    .clientWidth = 12705,
    .clientHeight = 9690,
    .startLeft = 3405,
    .startTop = 2475,
    .scaleLeft = 0.0F,
    .scaleTop = 0.0F,
};

using enum ShapeKind;
using enum FillStyle;
using enum Alignment;

// clang-format off
constexpr std::array kControls{
    //    No. Name        Interval
    timer( 1, "tmrGoal",  2),
    timer( 2, "tmrBall",  3),

    // Blue's key outlines around W, A, S and D.
    //   No. Name       X1     Y1     X2     Y2     Colour
    line( 3, "Line42",  10080, 8760,  10080, 9120,  kWindowText),
    line( 4, "Line41",  11520, 8760,  11520, 9120,  kWindowText),
    line( 5, "Line40",  10080, 9120,  11520, 9120,  kWindowText),
    line( 6, "Line39",  10080, 8760,  11520, 8760,  kWindowText),
    line( 7, "Line38",  10560, 8400,  11160, 8400,  kWindowText),
    line( 8, "Line37",  11160, 8400,  11160, 9120,  kWindowText),
    line( 9, "Line36",  10560, 8400,  10560, 9120,  kWindowText),

    //    No. Name      Caption Left   Top   Width Height Align   Text colour  Font
    label(10, "Label6", "D",    11160, 8760, 375,  375,   Centre, kButtonText, kKeyFont),
    label(11, "Label5", "S",    10680, 8760, 375,  375,   Centre, kButtonText, kKeyFont),
    label(12, "Label4", "A",    10200, 8760, 375,  375,   Centre, kButtonText, kKeyFont),
    label(13, "Label2", "W",    10680, 8400, 375,  375,   Centre, kButtonText, kKeyFont),

    // Red's arrow glyphs: right, left, down and up.
    //   No. Name       X1    Y1    X2    Y2    Colour
    line(14, "Line35",  5520, 9000, 5520, 9120, kWindowText),
    line(15, "Line34",  5520, 8760, 5520, 8640, kWindowText),
    line(16, "Line33",  5520, 9120, 5760, 8880, kWindowText),
    line(17, "Line32",  5760, 8880, 5520, 8640, kWindowText),
    line(18, "Line31",  5520, 9000, 5280, 9000, kWindowText),
    line(19, "Line30",  5520, 8760, 5280, 8760, kWindowText),
    line(20, "Line29",  5280, 8760, 5280, 9000, kWindowText),
    line(21, "Line28",  4320, 9120, 4080, 8880, kWindowText),
    line(22, "Line27",  4080, 8880, 4320, 8640, kWindowText),
    line(23, "Line26",  4320, 9000, 4320, 9120, kWindowText),
    line(24, "Line25",  4320, 8760, 4320, 8640, kWindowText),
    line(25, "Line24",  4320, 9000, 4560, 9000, kWindowText),
    line(26, "Line23",  4320, 8760, 4560, 8760, kWindowText),
    line(27, "Line22",  4560, 8760, 4560, 9000, kWindowText),
    line(28, "Line21",  5160, 8880, 4920, 9120, kWindowText),
    line(29, "Line20",  4920, 9120, 4680, 8880, kWindowText),
    line(30, "Line19",  4800, 8880, 4680, 8880, kWindowText),
    line(31, "Line18",  5040, 8880, 5160, 8880, kWindowText),
    line(32, "Line17",  4800, 8880, 4800, 8640, kWindowText),
    line(33, "Line16",  5040, 8640, 4800, 8640, kWindowText),
    line(34, "Line15",  5040, 8880, 5040, 8640, kWindowText),
    line(35, "Line14",  4800, 8520, 5040, 8520, kWindowText),
    line(36, "Line13",  4920, 8040, 5160, 8280, kWindowText),
    line(37, "Line12",  4920, 8040, 4680, 8280, kWindowText),
    line(38, "Line11",  4800, 8280, 4680, 8280, kWindowText),
    line(39, "Line10",  5040, 8280, 5160, 8280, kWindowText),
    line(40, "Line9",   5040, 8280, 5040, 8520, kWindowText),
    line(41, "Line8",   4800, 8280, 4800, 8520, kWindowText),

    //    No. Name       Caption Left  Top   Width Height Align   Text colour  Font
    label(42, "lblBlue", "0",    8040, 8760, 1095, 615,   Centre, kButtonText, kCounterFont),
    label(43, "Label3",  "Blue", 8160, 8040, 1095, 615,   Left,   kBlue,       {"Viner Hand ITC", 20.25F, 700}),
    label(44, "lblRed",  "0",    3000, 8880, 855,  615,   Centre, kButtonText, kCounterFont),
    label(45, "Label1",  "Red",  3000, 8040, 855,  615,   Left,   kRed,        {"Viner Hand ITC", 21.75F, 700}),

    //    No. Name        Kind       Left   Top   Width  Height Outline            Fill           Fill colour
    shape(46, "shpGoal2", Rectangle, 0,     2760, 135,   2055,  kWindowBackground, Solid,         kWhite),
    shape(47, "shpGoal1", Rectangle, 12600, 2760, 135,   2055,  kWindowBackground, Solid,         kWhite),
    shape(48, "shpRect",  Rectangle, 0,     0,    12735, 7815,  kWindowBackground, Transparent),
    shape(49, "shpBlue",  Circle,    9840,  3360, 855,   855,   kWindowBackground, Solid,         kBlue),
    shape(50, "shpRed",   Circle,    1920,  3360, 855,   855,   kWindowBackground, Solid,         kRed),
    shape(51, "shpBall",  Circle,    6000,  3240, 735,   615,   kDarkGrey,         DiagonalCross, kWhite),

    // Field markings: goal areas, centre circle, halfway line, penalty areas.
    //   No. Name     Index X1     Y1    X2     Y2    Colour
    line(52, "Line7",       11880, 4800, 11880, 2760, kWindowBackground),
    line(53, "Line6",       840,   4800, 840,   2760, kWindowBackground),
    line(54, "Line5", 3,    11880, 4800, 12720, 4800, kWindowBackground),
    line(55, "Line5", 2,    11880, 2760, 12720, 2760, kWindowBackground),
    line(56, "Line5", 1,    0,     2760, 840,   2760, kWindowBackground),
    line(57, "Line5", 0,    0,     4800, 840,   4800, kWindowBackground),
    shape(58, "Shape2", Circle, 4800, 2160, 3015, 2895, kWindowBackground, Transparent),
    line(59, "Line4",       6360,  7800, 6360,  0,    kWindowBackground),
    line(60, "Line3",       10560, 5760, 10560, 1800, kWindowBackground),
    line(61, "Line1",       2160,  5760, 2160,  1800, kWindowBackground),
    line(62, "Line2", 3,    10560, 5760, 12720, 5760, kWindowBackground),
    line(63, "Line2", 2,    10560, 1800, 12720, 1800, kWindowBackground),
    line(64, "Line2", 1,    0,     1800, 2160,  1800, kWindowBackground),
    line(65, "Line2", 0,    0,     5760, 2160,  5760, kWindowBackground),
};
// clang-format on

static_assert(kControls.size() == 65);

}  // namespace

const FormRecord& form1Record() {
    return kForm1;
}

std::span<const ControlRecord> form1Controls() {
    return kControls;
}

}  // namespace voltaro
