#pragma once

#include <SDL.h>

namespace voltaro {

// The few functions of SDL2 that the gamepads use, from its library loaded at run time rather
// than linked: SDL2's library brings some thirty others of its own (sound among them), which
// would lengthen every start of the game, pads or none; and so loaded, the game also starts
// where SDL2 is not installed at all, without pads.
struct SdlLibrary {
    decltype(&SDL_SetHint) SetHint;
    decltype(&SDL_InitSubSystem) InitSubSystem;
    decltype(&SDL_QuitSubSystem) QuitSubSystem;
    decltype(&SDL_PollEvent) PollEvent;
    decltype(&SDL_GameControllerOpen) GameControllerOpen;
    decltype(&SDL_GameControllerClose) GameControllerClose;
    decltype(&SDL_GameControllerFromInstanceID) GameControllerFromInstanceID;
    decltype(&SDL_GameControllerGetJoystick) GameControllerGetJoystick;
    decltype(&SDL_GameControllerGetButton) GameControllerGetButton;
    decltype(&SDL_GameControllerGetAxis) GameControllerGetAxis;
    decltype(&SDL_JoystickInstanceID) JoystickInstanceID;

    // Loads the library once; null where it is missing or lacks one of the functions.
    static const SdlLibrary* load();
    // The library is in the process already (linked by someone else, or loaded before).
    static bool inProcess();
};

}  // namespace voltaro
