#include "scene/scene_index.h"

#include <algorithm>
#include <bit>

namespace voltaro {

namespace {

int floorDiv(int a, int b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

}  // namespace

SceneIndex::SceneIndex(const Controls& controls, const Drawing& drawing)
    : controls_(controls),
      drawing_(drawing),
      indexed_(controls.inListOrder().size() <= 8 * sizeof(Mask)) {
    if (!indexed_) {
        return;
    }
    // Every pixel that each fixed control can touch, whatever its caption.
    const auto& list = controls.inListOrder();
    std::vector<std::pair<std::size_t, DeviceRect>> reaches;
    std::vector<Primitive> primitives;
    for (std::size_t place = 0; place < list.size(); ++place) {
        if (std::holds_alternative<Shape>(list[place])) {
            mark(movable_, place);
            continue;
        }
        primitives.clear();
        drawing_.drawControl(list[place], primitives);
        for (const Primitive& p : primitives) {
            reaches.emplace_back(place, Drawing::reach(p));
        }
    }
    DeviceRect all;
    for (const auto& [place, r] : reaches) {
        all = all.united(r);
    }
    const int x0 = floorDiv(all.left, kBin);
    const int y0 = floorDiv(all.top, kBin);
    grid_ = {x0, y0, floorDiv(all.right() - 1, kBin) - x0 + 1,
             floorDiv(all.bottom() - 1, kBin) - y0 + 1};
    if (grid_.empty()) {
        grid_ = {};
        return;
    }
    cells_.assign(static_cast<std::size_t>(grid_.width) * grid_.height, Mask{});
    for (const auto& [place, r] : reaches) {
        if (r.empty()) {
            continue;
        }
        for (int cy = floorDiv(r.top, kBin); cy <= floorDiv(r.bottom() - 1, kBin); ++cy) {
            for (int cx = floorDiv(r.left, kBin); cx <= floorDiv(r.right() - 1, kBin); ++cx) {
                mark(cells_[(cy - grid_.top) * grid_.width + (cx - grid_.left)], place);
            }
        }
    }
}

void SceneIndex::mark(Mask& mask, std::size_t place) const {
    mask[place / 64] |= std::uint64_t{1} << (place % 64);
}

SceneIndex::Mask SceneIndex::candidates(const DeviceRect& clip) const {
    Mask mask = movable_;
    const DeviceRect cells =
        DeviceRect{floorDiv(clip.left, kBin), floorDiv(clip.top, kBin),
                   floorDiv(clip.right() - 1, kBin) - floorDiv(clip.left, kBin) + 1,
                   floorDiv(clip.bottom() - 1, kBin) - floorDiv(clip.top, kBin) + 1}
            .intersected(grid_);
    for (int cy = cells.top; cy < cells.bottom(); ++cy) {
        for (int cx = cells.left; cx < cells.right(); ++cx) {
            const Mask& cell = cells_[(cy - grid_.top) * grid_.width + (cx - grid_.left)];
            mask[0] |= cell[0];
            mask[1] |= cell[1];
        }
    }
    return mask;
}

void SceneIndex::drawScene(Colour formBackColour, const DeviceRect& clip,
                           std::vector<Primitive>& out) const {
    if (!indexed_) {
        drawing_.drawScene(controls_, formBackColour, clip, out);
        return;
    }
    out.push_back(FillRect{clip, resolve(formBackColour)});
    if (clip.empty()) {
        return;
    }
    const auto& list = controls_.inListOrder();
    Mask mask = candidates(clip);
    // The last control of the list is at the bottom of the stack: highest bits first.
    for (int word = 1; word >= 0; --word) {
        while (mask[word] != 0) {
            const int bit = 63 - std::countl_zero(mask[word]);
            mask[word] &= ~(std::uint64_t{1} << bit);
            drawing_.drawControl(list[word * 64 + bit], clip, out);
        }
    }
}

}  // namespace voltaro
