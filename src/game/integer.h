#pragma once

#include <cstdint>

namespace voltaro {

// The runtime's 16-bit Integer. Values arrive by rounding: to the nearest whole number, halves
// to the even neighbour, and anything outside -32768..32767 is an Overflow.
class Integer {
  public:
    constexpr Integer() = default;

    static Integer rounded(double exact);

    constexpr std::int16_t value() const { return value_; }
    constexpr double number() const { return value_; }

    friend constexpr bool operator==(Integer, Integer) = default;

  private:
    constexpr explicit Integer(std::int16_t value) : value_(value) {}

    std::int16_t value_ = 0;
};

}  // namespace voltaro
