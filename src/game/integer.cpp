#include "game/integer.h"

#include "scene/runtime_error.h"

namespace voltaro {

Integer Integer::rounded(double exact) {
    // Rounding to nearest with ties to even (3360.5 is 3360, 3361.5 is 3362): adding and taking
    // away 1.5 * 2^52 leaves a double of this range on the nearest whole number, halves to the
    // even one, without a call into the maths library. Range first; NaN fails it too.
    if (!(exact > -32768.5 && exact < 32767.5) && exact != -32768.5) {
        throw RuntimeError::overflow();
    }
    constexpr double kShift = 6755399441055744.0;
    return Integer(static_cast<std::int16_t>((exact + kShift) - kShift));
}

}  // namespace voltaro
