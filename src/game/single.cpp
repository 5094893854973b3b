#include "game/single.h"

#include <cmath>

#include "scene/runtime_error.h"

namespace voltaro {

namespace {

Single checked(Single result) {
    if (!std::isfinite(result)) {
        throw RuntimeError::overflow();
    }
    return result;
}

}  // namespace

Single add(Single a, Single b) {
    return checked(a + b);
}

Single subtract(Single a, Single b) {
    return checked(a - b);
}

}  // namespace voltaro
