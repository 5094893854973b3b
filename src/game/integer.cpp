#include "game/integer.h"

#include <cmath>

#include "scene/runtime_error.h"

namespace voltaro {

Integer Integer::rounded(double exact) {
    // nearbyint rounds in the default mode, to nearest with ties to even: 3360.5 is 3360.
    const double whole = std::nearbyint(exact);
    if (!(whole >= -32768.0 && whole <= 32767.0)) {  // also false for NaN
        throw RuntimeError::overflow();
    }
    return Integer(static_cast<std::int16_t>(whole));
}

}  // namespace voltaro
