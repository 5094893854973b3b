#pragma once

#include "game/integer.h"
#include "game/single.h"
#include "game/variant.h"

namespace voltaro {

// Comparisons in the procedures are numeric whatever the kinds on either side. Every Single,
// Integer and Variant value is exactly representable as a double, so comparing doubles is exact.
constexpr double number(Single v) {
    return v;
}
constexpr double number(Integer v) {
    return v.number();
}
constexpr double number(Variant v) {
    return v.number();
}

// Both bounds inclusive; both comparisons are made.
template <typename V, typename Lo, typename Hi>
constexpr bool within(V v, Lo low, Hi high) {
    const bool aboveLow = number(low) <= number(v);
    const bool belowHigh = number(v) <= number(high);
    return aboveLow && belowHigh;
}

}  // namespace voltaro
