// Loaded with LD_PRELOAD into the program under test: a screen on which SDL can make
// no full-screen window, as with a driver or a window system that refuses. Asked for
// full screen, SDL_CreateWindow and SDL_SetWindowFullscreen fail with an error of
// SDL's own; everything else goes to the real SDL.
//
// Each refusal appends a line to the file REFUSE_FULLSCREEN_LOG names, when set, so a
// test can tell that full screen was asked for and refused.
#include <SDL2/SDL.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr Uint32 kAnyFullScreen = SDL_WINDOW_FULLSCREEN | SDL_WINDOW_FULLSCREEN_DESKTOP;

template <typename Function>
Function real(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

void logRefusal(const char* what) {
    const char* path = std::getenv("REFUSE_FULLSCREEN_LOG");
    if (path == nullptr) {
        return;
    }
    const int file = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (file < 0) {
        return;
    }
    [[maybe_unused]] const ssize_t written = write(file, what, std::strlen(what));
    close(file);
}

} // namespace

extern "C" SDL_Window* SDL_CreateWindow(const char* title, int x, int y, int w, int h, Uint32 flags) {
    using CreateWindow = SDL_Window* (*)(const char*, int, int, int, int, Uint32);
    if ((flags & kAnyFullScreen) != 0) {
        logRefusal("SDL_CreateWindow\n");
        SDL_SetError("full screen refused by refuse_fullscreen.so");
        return nullptr;
    }
    static const CreateWindow createWindow = real<CreateWindow>("SDL_CreateWindow");
    return createWindow(title, x, y, w, h, flags);
}

extern "C" int SDL_SetWindowFullscreen(SDL_Window* window, Uint32 flags) {
    using SetWindowFullscreen = int (*)(SDL_Window*, Uint32);
    if ((flags & kAnyFullScreen) != 0) {
        logRefusal("SDL_SetWindowFullscreen\n");
        return SDL_SetError("full screen refused by refuse_fullscreen.so");
    }
    static const SetWindowFullscreen setWindowFullscreen = real<SetWindowFullscreen>("SDL_SetWindowFullscreen");
    return setWindowFullscreen(window, flags);
}
