#include "scene/runtime_error.h"

#include <utility>

namespace voltaro {

RuntimeError::RuntimeError(int number, std::string description)
    : std::runtime_error(description), number_(number), description_(std::move(description)) {}

std::string RuntimeError::report() const {
    return "Run-time error '" + std::to_string(number_) + "':\n\n" + description_;
}

RuntimeError RuntimeError::overflow() {
    return RuntimeError(6, "Overflow");
}

}  // namespace voltaro
