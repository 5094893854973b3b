#include "game/single.h"

#include "scene/runtime_error.h"

namespace voltaro {

void singleOverflow() {
    throw RuntimeError::overflow();
}

}  // namespace voltaro
