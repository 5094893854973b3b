#include "web/canvas_commands.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace voltaro {

namespace {

// The columns whose pixel centres lie within `halfWidth` of the centre `cx`.
struct Columns {
    int first, last;
    friend bool operator==(const Columns&, const Columns&) = default;
};

// A row of an ellipse: its outer columns and, inside the outline, its inner columns.
struct Row {
    Columns outer{0, -1};
    Columns inner{0, -1};
    bool hasInner = false;
    friend bool operator==(const Row&, const Row&) = default;
};
Columns columnsWithin(double cx, double halfWidth) {
    return {static_cast<int>(std::ceil(cx - halfWidth - 0.5)),
            static_cast<int>(std::floor(cx + halfWidth - 0.5))};
}

// Half the width of an ellipse of radii rx, ry at a height dy from its centre; -1 outside it.
double halfWidthAt(double rx, double ry, double dy) {
    if (rx <= 0 || ry <= 0 || std::abs(dy) >= ry) {
        return -1.0;
    }
    return rx * std::sqrt(1.0 - (dy / ry) * (dy / ry));
}

}  // namespace

void CanvasCommands::clear() {
    words_.clear();
    texts_.clear();
}

void CanvasCommands::put(std::initializer_list<std::int32_t> words) {
    words_.insert(words_.end(), words);
}

void CanvasCommands::rect(int x, int y, int w, int h, std::uint32_t rgb) {
    if (w > 0 && h > 0) {
        put({kRect, x, y, w, h, static_cast<std::int32_t>(rgb)});
    }
}

void CanvasCommands::hatch(int x, int y, int w, int h, std::uint32_t rgb, int scale) {
    if (w > 0 && h > 0) {
        put({kHatch, x, y, w, h, static_cast<std::int32_t>(rgb), scale});
    }
}

void CanvasCommands::text(int x, int y, int w, int h, std::uint32_t rgb, int pixelSize, int weight,
                          bool centred, std::string_view text, std::string_view families) {
    const auto at = static_cast<std::int32_t>(texts_.size());
    const auto length = static_cast<std::int32_t>(text.size());
    put({kText, x, y, w, h, static_cast<std::int32_t>(rgb), pixelSize, weight, centred ? 1 : 0, at,
         length, at + length, static_cast<std::int32_t>(families.size())});
    texts_ += text;
    texts_ += families;
}

void CanvasCommands::clip(int x, int y, int w, int h) {
    put({kClip, x, y, w, h});
}

void CanvasCommands::unclip() {
    put({kUnclip});
}

void CanvasCommands::line(int x0, int y0, int x1, int y1, int width, std::uint32_t rgb) {
    if (x0 == x1 || y0 == y1) {
        rect(std::min(x0, x1), std::min(y0, y1), std::abs(x1 - x0) + width,
             std::abs(y1 - y0) + width, rgb);
    } else if (width <= 1) {
        thinSlantedLine(x0, y0, x1, y1, rgb);
    } else {
        thickSlantedLine(x0, y0, x1, y1, width, rgb);
    }
}

void CanvasCommands::thinSlantedLine(int x0, int y0, int x1, int y1, std::uint32_t rgb) {
    const int dx = std::abs(x1 - x0);
    const int dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1;
    const int sy = y0 < y1 ? 1 : -1;
    for (int error = dx + dy;;) {
        rect(x0, y0, 1, 1, rgb);
        if (x0 == x1 && y0 == y1) {
            break;
        }
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x0 += sx;
        }
        if (twice <= dx) {
            error += dx;
            y0 += sy;
        }
    }
}

// The stroke is a rectangle: the pen's centre line, from (x0, y0) + width / 2 to (x1, y1) +
// width / 2 in pixel-edge coordinates, lengthened by width / 2 at both ends (square caps), and
// width / 2 to either side of it.
void CanvasCommands::thickSlantedLine(int x0, int y0, int x1, int y1, int width,
                                      std::uint32_t rgb) {
    const double offset = width / 2;  // integer division: where a thin line's pixels are
    const double ax = x0 + offset, ay = y0 + offset;
    const double length = std::hypot(double(x1 - x0), double(y1 - y0));
    const double ux = (x1 - x0) / length, uy = (y1 - y0) / length;
    const double half = width / 2.0;
    const double reach = half * 1.5 + 1;
    const int top = static_cast<int>(std::floor(std::min(y0, y1) + offset - reach));
    const int bottom = static_cast<int>(std::ceil(std::max(y0, y1) + offset + reach));
    const int left = static_cast<int>(std::floor(std::min(x0, x1) + offset - reach));
    const int right = static_cast<int>(std::ceil(std::max(x0, x1) + offset + reach));
    auto inside = [&](int x, int y) {
        const double px = x + 0.5 - ax, py = y + 0.5 - ay;
        const double along = px * ux + py * uy;
        const double across = -px * uy + py * ux;
        return along >= -half && along <= length + half && std::abs(across) <= half;
    };
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            if (!inside(x, y)) {
                continue;
            }
            int end = x;
            while (end + 1 <= right && inside(end + 1, y)) {
                ++end;
            }
            rect(x, y, end - x + 1, 1, rgb);
            x = end;
        }
    }
}

void CanvasCommands::span(int x0, int x1, int y, int rows, std::uint32_t rgb, int hatchScale) {
    if (hatchScale > 0) {
        hatch(x0, y, x1 - x0 + 1, rows, rgb, hatchScale);
    } else {
        rect(x0, y, x1 - x0 + 1, rows, rgb);
    }
}

void CanvasCommands::ellipse(int x, int y, int w, int h, int penWidth, std::uint32_t penRgb,
                             Fill fill) {
    if (w <= 0 || h <= 0) {
        return;
    }
    const double rx = w / 2.0;
    const double ry = h / 2.0;
    const double cx = x + rx;
    // Rows alike are drawn as one.
    auto rowAt = [&](int j) {
        const double dy = j + 0.5 - ry;
        const double outer = halfWidthAt(rx, ry, dy);
        const double inner = halfWidthAt(rx - penWidth, ry - penWidth, dy);
        Row row{columnsWithin(cx, outer), columnsWithin(cx, inner), inner >= 0};
        row.hasInner = row.hasInner && row.inner.first <= row.inner.last;
        return row;
    };
    auto drawRows = [&](const Row& row, int top, int rows) {
        if (row.outer.first > row.outer.last) {
            return;
        }
        if (!row.hasInner) {
            span(row.outer.first, row.outer.last, top, rows, penRgb, 0);
            return;
        }
        span(row.outer.first, row.inner.first - 1, top, rows, penRgb, 0);
        span(row.inner.last + 1, row.outer.last, top, rows, penRgb, 0);
        if (fill.solid || fill.hatchScale > 0) {
            span(row.inner.first, row.inner.last, top, rows, fill.rgb,
                 fill.solid ? 0 : fill.hatchScale);
        }
    };
    int runStart = 0;
    Row run = rowAt(0);
    for (int j = 1; j <= h; ++j) {
        const Row row = j < h ? rowAt(j) : Row{};
        if (j == h || !(row == run)) {
            drawRows(run, y + runStart, j - runStart);
            runStart = j;
            run = row;
        }
    }
}

}  // namespace voltaro
