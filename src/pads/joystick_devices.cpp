#include "pads/joystick_devices.h"

#include <charconv>
#include <climits>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

namespace voltaro {

namespace {

// The buttons of joysticks (BTN_TRIGGER on) and of gamepads (BTN_SOUTH to BTN_THUMBR), below a
// tablet's tools. A mouse's and a keyboard's keys lie below them.
constexpr int kFirstJoystickButton = 0x120;
constexpr int kEndOfJoystickButtons = 0x140;
constexpr int kBitsPerWord = sizeof(unsigned long) * CHAR_BIT;  // the kernel's long, as ours

std::vector<unsigned long> wordsOf(std::string_view text) {
    std::vector<unsigned long> words;  // the highest first, as written
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find_first_of(" \n", at), text.size());
        unsigned long word = 0;
        const auto [stop, error] = std::from_chars(text.data() + at, text.data() + end, word, 16);
        if (error != std::errc() || stop != text.data() + end) {
            return {};  // not a bitmap
        }
        if (end > at) {
            words.push_back(word);
        }
        at = end + 1;
    }
    return words;
}

std::string firstLine(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

}  // namespace

bool hasJoystickButtons(std::string_view keyCapabilities) {
    const std::vector<unsigned long> words = wordsOf(keyCapabilities);
    for (int bit = kFirstJoystickButton; bit < kEndOfJoystickButtons; ++bit) {
        const std::size_t fromEnd = static_cast<std::size_t>(bit / kBitsPerWord);
        if (fromEnd < words.size() &&
            (words[words.size() - 1 - fromEnd] >> (bit % kBitsPerWord) & 1UL) != 0) {
            return true;
        }
    }
    return false;
}

bool joystickPresent(const std::filesystem::path& inputDevices) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(inputDevices, error)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("js")) {
            return true;
        }
        if (name.starts_with("event") &&
            hasJoystickButtons(firstLine(entry.path() / "device" / "capabilities" / "key"))) {
            return true;
        }
    }
    return false;
}

}  // namespace voltaro
