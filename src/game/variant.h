#pragma once

#include <optional>

#include "game/single.h"

namespace voltaro {

// The runtime's Variant, as the match uses it: Empty until first assigned, and from then on
// holding a Single. In comparisons an Empty Variant is the number 0.
class Variant {
  public:
    constexpr Variant() = default;
    constexpr Variant(Single value)
        : value_(value) {}  // NOLINT: assignment from Single is the point

    constexpr bool isEmpty() const { return !value_.has_value(); }
    constexpr std::optional<Single> value() const { return value_; }
    constexpr double number() const { return value_.value_or(0.0F); }

    friend constexpr bool operator==(Variant, Variant) = default;

  private:
    std::optional<Single> value_;
};

}  // namespace voltaro
