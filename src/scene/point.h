#pragma once

namespace voltaro {

// A piece's place on the form: its Left and Top in twips.
struct Point {
    float left = 0;
    float top = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

}  // namespace voltaro
