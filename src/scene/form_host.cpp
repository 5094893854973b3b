#include "scene/form_host.h"

namespace voltaro {

void FormHost::End() {
    throw ProgramEnd{};
}

}  // namespace voltaro
