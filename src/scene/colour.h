#pragma once

#include <cstdint>

namespace voltaro {

// A colour as the form stores it: either a fixed colour, 0x00BBGGRR, or an entry of the desktop's
// colour scheme, 0x80000000 plus its number, looked up when the control is drawn.
class Colour {
  public:
    static constexpr Colour rgb(std::uint32_t rrggbb) {
        return Colour(((rrggbb & 0xFF) << 16) | (rrggbb & 0xFF00) | ((rrggbb >> 16) & 0xFF));
    }
    static constexpr Colour system(int index) {
        return Colour(kSystemFlag | static_cast<std::uint32_t>(index));
    }

    constexpr std::uint32_t stored() const { return stored_; }
    constexpr bool isSystem() const { return (stored_ & kSystemFlag) != 0; }
    constexpr int systemIndex() const { return static_cast<int>(stored_ & 0xFF); }
    constexpr int red() const { return static_cast<int>(stored_ & 0xFF); }
    constexpr int green() const { return static_cast<int>((stored_ >> 8) & 0xFF); }
    constexpr int blue() const { return static_cast<int>((stored_ >> 16) & 0xFF); }

    friend constexpr bool operator==(Colour, Colour) = default;

  private:
    static constexpr std::uint32_t kSystemFlag = 0x80000000U;
    constexpr explicit Colour(std::uint32_t stored) : stored_(stored) {}

    std::uint32_t stored_;
};

// The three scheme entries the form uses.
inline constexpr Colour kWindowBackground = Colour::system(5);
inline constexpr Colour kWindowText = Colour::system(8);
inline constexpr Colour kButtonText = Colour::system(18);

}  // namespace voltaro
