// Loaded with LD_PRELOAD into the program under test: X errors on demand, named by
// PROVOKE_X_ERROR.
//   "core":   once SDL has made the window, a core request on SDL's connection that the
//             server refuses (a window that does not exist);
//   "randr":  the same with a RandR request (a CRTC that does not exist);
//   "mode":   every switch of a monitor to 640x480 refused by the server, as by a monitor
//             that lists the mode but will not take it.
// Everything else goes to the real SDL and Xrandr.
#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <X11/extensions/Xrandr.h>

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>

namespace {

template <typename Function>
Function real(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

bool provoking(const char* what) {
    const char* chosen = std::getenv("PROVOKE_X_ERROR");
    return chosen != nullptr && std::strcmp(chosen, what) == 0;
}

constexpr XID kNoSuchResource = 0x1fffffff;

} // namespace

extern "C" SDL_Window* SDL_CreateWindow(const char* title, int x, int y, int w, int h, Uint32 flags) {
    using CreateWindow = SDL_Window* (*)(const char*, int, int, int, int, Uint32);
    static const CreateWindow createWindow = real<CreateWindow>("SDL_CreateWindow");
    SDL_Window* window = createWindow(title, x, y, w, h, flags);
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window == nullptr || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) {
        return window;
    }
    Display* display = info.info.x11.display;
    if (provoking("core")) {
        XMapWindow(display, kNoSuchResource);
        XSync(display, False);
    } else if (provoking("randr")) {
        XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display));
        XRRCrtcInfo* crtc = XRRGetCrtcInfo(display, resources, kNoSuchResource);
        if (crtc != nullptr) {
            XRRFreeCrtcInfo(crtc);
        }
        XRRFreeScreenResources(resources);
        XSync(display, False);
    }
    return window;
}

extern "C" Status XRRSetCrtcConfig(Display* display, XRRScreenResources* resources, RRCrtc crtc, Time timestamp,
                                   int x, int y, RRMode mode, Rotation rotation, RROutput* outputs, int noutputs) {
    using SetCrtcConfig = Status (*)(Display*, XRRScreenResources*, RRCrtc, Time, int, int, RRMode, Rotation,
                                     RROutput*, int);
    static const SetCrtcConfig setCrtcConfig = real<SetCrtcConfig>("XRRSetCrtcConfig");
    if (provoking("mode")) {
        for (int i = 0; i < resources->nmode; ++i) {
            if (resources->modes[i].id == mode && resources->modes[i].width == 640 && resources->modes[i].height == 480) {
                mode = kNoSuchResource;  // the server answers BadRRMode
            }
        }
    }
    return setCrtcConfig(display, resources, crtc, timestamp, x, y, mode, rotation, outputs, noutputs);
}
