#include "qt/sdl_library.h"

#include <dlfcn.h>

namespace voltaro {

namespace {

// The name of SDL2's binary interface, whichever 2.x (or the SDL3 compatibility layer).
constexpr const char* kName = "libSDL2-2.0.so.0";

template <typename Function>
bool resolve(void* library, Function& function, const char* name) {
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

SdlLibrary* open() {
    void* library = dlopen(kName, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        return nullptr;
    }
    static SdlLibrary sdl;
    const bool complete =
        resolve(library, sdl.SetHint, "SDL_SetHint") &&
        resolve(library, sdl.InitSubSystem, "SDL_InitSubSystem") &&
        resolve(library, sdl.QuitSubSystem, "SDL_QuitSubSystem") &&
        resolve(library, sdl.PollEvent, "SDL_PollEvent") &&
        resolve(library, sdl.GameControllerOpen, "SDL_GameControllerOpen") &&
        resolve(library, sdl.GameControllerClose, "SDL_GameControllerClose") &&
        resolve(library, sdl.GameControllerFromInstanceID, "SDL_GameControllerFromInstanceID") &&
        resolve(library, sdl.GameControllerGetJoystick, "SDL_GameControllerGetJoystick") &&
        resolve(library, sdl.GameControllerGetButton, "SDL_GameControllerGetButton") &&
        resolve(library, sdl.GameControllerGetAxis, "SDL_GameControllerGetAxis") &&
        resolve(library, sdl.JoystickInstanceID, "SDL_JoystickInstanceID");
    if (!complete) {
        dlclose(library);
        return nullptr;
    }
    return &sdl;
}

}  // namespace

bool SdlLibrary::inProcess() {
    void* library = dlopen(kName, RTLD_NOW | RTLD_NOLOAD);
    if (library) {
        dlclose(library);  // as it was: this open only counted once more
    }
    return library != nullptr;
}

const SdlLibrary* SdlLibrary::load() {
    static const SdlLibrary* const sdl = open();
    return sdl;
}

}  // namespace voltaro
