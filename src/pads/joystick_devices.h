#pragma once

#include <filesystem>
#include <string_view>

namespace voltaro {

// Whether the kernel knows of a joystick or gamepad among its input devices, read from the
// folder where it lists them (/sys/class/input): a joystick node (js0, js1...), or an event
// device with a joystick's or a gamepad's buttons. Telling this costs a few file reads, where
// asking SDL costs loading SDL.
bool joystickPresent(const std::filesystem::path& inputDevices = "/sys/class/input");

// An event device's key capabilities as the kernel writes them (hex words of a long each, the
// highest first) include a joystick's or a gamepad's buttons.
bool hasJoystickButtons(std::string_view keyCapabilities);

}  // namespace voltaro
