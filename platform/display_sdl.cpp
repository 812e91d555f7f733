// The indexed-colour display and keyboard on SDL2: the only file that knows SDL.
//
// Implements:
//  [X] One 640x480 page of colour indices and a 256-entry palette of 6-bit components,
//      shown by what the display offers: on X, the window's surface in software (no GL:
//      far less CPU and memory); on Wayland, and on X at 30 bits, where SDL has no such
//      surface, a page-sized texture through SDL's renderer; on 8-bit X, see below.
//  [X] Full screen: a desktop-sized window on the monitor that holds it, that monitor
//      alone switched to 640x480 where it offers that mode (x11_mode.cpp); otherwise the
//      picture centred and scaled by the largest whole factor, sharp pixels, black
//      borders. A centred 640x480 window, titled with the program's name, only where no
//      full-screen window can be made at all.
//  [X] Alt+Enter switches between full screen and a window and back.
//  [X] Keys as text (see key_map.cpp); a request to close the window, and a close signal
//      (close_signals.cpp), as the key 255, 'k'. The key queue is bounded.
//  [X] Refresh on a thread of its own every 10 ms, above normal priority where allowed;
//      none while the user has switched away from full screen, the whole picture on return.
//  [X] No display: one line on standard error and exit status 1, rather than a run
//      that nobody can see or end. A lost X server, or an X error, likewise
//      (x11_errors.cpp).
//  [X] The monitor given back its mode when the picture leaves full screen, when the
//      user switches away and at the end; a guardian process does it should the run
//      die (mode_guardian.cpp).
//  [X] With no window manager, the window placed and sized as a manager would
//      (x11_window.cpp).
//  [X] A hardware palette on 8-bit PseudoColor X screens: the page goes to the screen as
//      it is and a palette change is only the colormap's cells (x11_colormap.cpp).
//      True-colour screens offer none, so there each refresh after a palette change
//      converts the whole page.
//
// The refresh thread makes every SDL call. The program's thread only touches the shared
// page, palette and key queue under gDisplayLock; conversion, upload and presentation
// happen outside it, so the program's thread never waits for the screen.

#include "platform/display.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include <sys/resource.h>
#include <unistd.h>

#include "platform/close_signals.h"
#include "platform/display_probe.h"
#include "platform/key_map.h"
#include "platform/mode_guardian.h"
#include "platform/page_convert.h"
#include "platform/program_name.h"
#include "platform/raster.h"
#include "platform/x11_colormap.h"
#include "platform/x11_errors.h"
#include "platform/x11_mode.h"
#include "platform/x11_window.h"

namespace {

constexpr int kPaletteSize = 256;
constexpr DirtyRect kWholePage{0, kPageHeight - 1, 0, kPageWidth - 1};
constexpr int kKeyQueueLength = 64;
constexpr auto kRefreshInterval = std::chrono::milliseconds(10);

// What the program's thread and the refresh thread share.
struct SharedDisplay {
    bool open;
    bool started;      // the refresh thread has finished opening, well or not
    bool stop;         // closeDisplay asks the refresh thread to end
    bool hidePointer;
    std::uint8_t page[kPageWidth * kPageHeight];
    std::uint8_t levels[kPaletteSize][3];  // 0..63 each
    bool paletteChanged;
    DirtyRect changed;  // what the program drew since the refresh thread last took it
    KeyText keys[kKeyQueueLength];
    int firstKey;
    int keyCount;
    char failure[256];  // why no display could be opened
};

// Guards gShared. Held by every drawing, palette, pointer and key operation of the
// program, and by the refresh thread only while it takes what changed.
std::mutex gDisplayLock;
// Wakes the refresh thread early to close, and openDisplay when the window is up.
std::condition_variable gDisplaySignal;
SharedDisplay gShared;

// Made through SDL rather than std::thread: SDL frees what it keeps for its own threads
// (the error text, for one) when they end, and keeps it for the process otherwise.
SDL_Thread* gRefreshThread;

// How the picture reaches the screen, chosen once the window is up by what SDL offers.
enum class Path {
    Surface,  // the window's own surface in software: X at 15, 16, 24 and 32 bits
    Texture,  // a streaming texture through SDL's renderer: Wayland, KMSDRM, X at 30 bits
    Indexed,  // the page's indices as they are, under a colormap that is the palette: X at 8 bits
};

// The refresh thread's own state; nothing else touches it.
struct Screen {
    SDL_Window* window;
    Path path;
    SDL_Surface* shadow;     // 32-bit stand-in when the window surface is not 32-bit
    SDL_Renderer* renderer;  // the texture path's
    SDL_Texture* texture;    // 640x480, ARGB8888
    SDL_PixelFormat* textureFormat;
    Colormap colormap;       // the indexed path's: its cells are the palette's entries
    int surfaceWidth;
    int surfaceHeight;
    Placement placement;
    bool fullScreen;
    bool focused;            // the window has the keyboard focus
    bool hidden;             // minimised or unmapped
    bool redrawAll;
    bool clearBorders;
    bool pointerHidden;
    Display* x11;            // SDL's connection, where the window is on X
    Window x11Window;
    bool unmanaged;          // an X screen with no window manager
    bool monitorWanted;      // full screen and in front: the monitor should be at 640x480
    bool monitorSwitched;    // and it is, under the guardian's lease
    MonitorArea monitor;     // the monitor's area after the last switch or restore
    std::uint8_t page[kPageWidth * kPageHeight];
    std::uint8_t levels[kPaletteSize][3];
    std::uint32_t colours[kPaletteSize];
};

Screen gScreen;

// ---------------------------------------------------------------------------------
// The refresh thread.

// An empty DISPLAY or WAYLAND_DISPLAY names no server. Dropped before SDL starts, so that
// neither SDL nor libwayland goes looking for a server by an empty name.
void forgetEmptyDisplayNames() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] == 0) {
            unsetenv(name);
        }
    }
}

// Whether a Wayland compositor can be reached by name: libwayland looks for a relative
// name in XDG_RUNTIME_DIR, and where that is unset it only complains on standard error.
bool waylandNamed() {
    const char* name = std::getenv("WAYLAND_DISPLAY");
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return name != nullptr && (name[0] == '/' || (runtime != nullptr && runtime[0] != 0));
}

// Left to itself, SDL 2.26 falls back to drivers that show nothing when no X or Wayland
// server answers, and a run nobody can see cannot be ended either. So unless the user
// chose drivers, only real displays are tried; Wayland only where a compositor is named.
// X comes first: where Xwayland serves a Wayland desktop, SDL draws without GL there.
void chooseRealDrivers() {
    if (std::getenv("SDL_VIDEODRIVER") != nullptr) {
        return;
    }
    SDL_SetHint(SDL_HINT_VIDEODRIVER, waylandNamed() ? "x11,wayland,KMSDRM" : "x11,KMSDRM");
}

// What SDL must be told of the X server before it starts, learned on a connection of the
// program's own, closed again: where it lacks RandR, not to use it, or SDL prints Xlib's
// complaint; where its screen is 8-bit PseudoColor, to make the window on that visual
// rather than on an 8-bit DirectColor one, on which SDL has no surface to offer.
void prepareSdlForX() {
    const char* name = std::getenv("DISPLAY");
    Display* display = name != nullptr ? XOpenDisplay(name) : nullptr;
    if (display == nullptr) {
        return;
    }
    if (!hasRandr(display)) {
        SDL_SetHint(SDL_HINT_VIDEO_X11_XRANDR, "0");
    }
    if (const unsigned long visual = pseudoColorVisual(display); visual != 0) {
        char id[32];
        std::snprintf(id, sizeof id, "0x%lx", visual);
        SDL_SetHint(SDL_HINT_VIDEO_X11_WINDOW_VISUALID, id);
    }
    XCloseDisplay(display);
}

// Why no display opened, in one line: what the environment named.
void describeNoDisplay(char* failure, std::size_t failureSize) {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    char named[160];
    if (wayland != nullptr && !waylandNamed()) {
        std::snprintf(named, sizeof named, "WAYLAND_DISPLAY is \"%s\" but XDG_RUNTIME_DIR is not set", wayland);
    } else {
        std::snprintf(named, sizeof named, "WAYLAND_DISPLAY is %s%s%s", wayland == nullptr ? "not set" : "\"",
                      wayland == nullptr ? "" : wayland, wayland == nullptr ? "" : "\"");
    }
    std::snprintf(failure, failureSize, "no display server answered (DISPLAY is %s%s%s; %s)",
                  x11 == nullptr ? "not set" : "\"", x11 == nullptr ? "" : x11, x11 == nullptr ? "" : "\"", named);
}

// The user has switched away from full screen: to another window, or the picture hidden.
// Nothing is shown then; a window that is not full screen goes on showing the picture.
bool switchedAway() {
    const Screen& screen = gScreen;
    return screen.fullScreen && (!screen.focused || screen.hidden);
}

// With no window manager nobody places the window, so the program does, as a manager
// would: over its whole monitor in full screen, that monitor's switched area while it is
// switched, and centred at 640x480 otherwise.
void placeUnmanagedWindow() {
    Screen& screen = gScreen;
    SDL_Rect bounds;
    if (!screen.unmanaged || SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(screen.window), &bounds) != 0) {
        return;
    }
    MonitorArea area{bounds.x, bounds.y, bounds.w, bounds.h};
    if (screen.fullScreen && screen.monitorSwitched) {
        area = screen.monitor;
    } else if (!screen.fullScreen) {
        area = MonitorArea{bounds.x + (bounds.w - kPageWidth) / 2, bounds.y + (bounds.h - kPageHeight) / 2, kPageWidth,
                           kPageHeight};
    }
    placeWindow(screen.x11, screen.x11Window, area);
}

// The monitor at 640x480 exactly while the picture is full screen and in front, and back
// at its own mode whenever the user is elsewhere. A switch is tried once each time the
// picture comes to the front; a refusal leaves the picture scaled on the monitor as it is.
void followMonitorMode() {
    Screen& screen = gScreen;
    const bool wanted = screen.fullScreen && !switchedAway();
    if (screen.x11 == nullptr || wanted == screen.monitorWanted) {
        return;
    }
    screen.monitorWanted = wanted;
    if (wanted) {
        // Only under the guardian's lease: a monitor switched without one would stay at
        // 640x480 should the run die.
        const Window lease = modeGuardianLease();
        int x = 0, y = 0;
        screen.monitorSwitched = lease != None && windowCentre(screen.x11, screen.x11Window, x, y) &&
                                 switchMonitor(screen.x11, lease, x, y, screen.monitor);
    } else if (screen.monitorSwitched) {
        restoreMonitor(screen.x11, modeGuardianLease(), screen.monitor);
        screen.monitorSwitched = false;
    }
    placeUnmanagedWindow();
    screen.redrawAll = true;
    screen.clearBorders = true;
}

void closeScreen();

// Chooses how the picture reaches the screen. On X, SDL draws a window's surface through
// shared memory, cheaply; elsewhere its window surface is itself a texture behind a
// renderer, which re-uploads the whole window each time, so a renderer of the program's
// own with a page-sized texture is cheaper. Where X gives no surface (30-bit visuals),
// the texture serves there too. False, with the reason, where neither can be had.
bool choosePath(char* failure, std::size_t failureSize) {
    Screen& screen = gScreen;
    const SDL_Surface* surface =
        std::strcmp(SDL_GetCurrentVideoDriver(), "x11") == 0 ? SDL_GetWindowSurface(screen.window) : nullptr;
    if (surface != nullptr && surface->format->format == SDL_PIXELFORMAT_INDEX8) {
        screen.path = Path::Indexed;
        return true;  // the colormap comes once the window's X side is known
    }
    if (surface != nullptr) {
        screen.path = Path::Surface;
        return true;
    }
    screen.path = Path::Texture;
    screen.renderer = SDL_CreateRenderer(screen.window, -1, 0);
    if (screen.renderer != nullptr) {
        screen.texture = SDL_CreateTexture(screen.renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                           kPageWidth, kPageHeight);
    }
    screen.textureFormat = SDL_AllocFormat(SDL_PIXELFORMAT_ARGB8888);
    if (screen.texture == nullptr || screen.textureFormat == nullptr) {
        std::snprintf(failure, failureSize, "no surface or texture to show the picture on: %s", SDL_GetError());
        return false;
    }
    return true;
}

bool openScreen(bool fullScreen, char* failure, std::size_t failureSize) {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    chooseRealDrivers();
    prepareSdlForX();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        if (std::getenv("SDL_VIDEODRIVER") != nullptr) {
            std::snprintf(failure, failureSize, "%s", SDL_GetError());
        } else {
            describeNoDisplay(failure, failureSize);
        }
        SDL_Quit();  // frees the hints too
        return false;
    }
    // Read when the window's surface is first made: on X, the shared-memory one, not one
    // behind a GL renderer, which costs far more CPU and memory for the same picture.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");

    // Only key presses and window events are taken in. Everything else SDL would queue
    // (key releases, typed text, the pointer) is dropped as it arrives, so that a flood
    // of input is not held in SDL's queue until the next refresh.
    SDL_StopTextInput();
    for (Uint32 type : {SDL_KEYUP, SDL_TEXTINPUT, SDL_TEXTEDITING, SDL_MOUSEMOTION, SDL_MOUSEBUTTONDOWN,
                        SDL_MOUSEBUTTONUP, SDL_MOUSEWHEEL, SDL_KEYMAPCHANGED}) {
        SDL_EventState(type, SDL_IGNORE);
    }

    Screen& screen = gScreen;
    if (fullScreen) {
        screen.window = SDL_CreateWindow(programName(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                         kPageWidth, kPageHeight, SDL_WINDOW_FULLSCREEN_DESKTOP);
    }
    if (screen.window == nullptr) {
        screen.window = SDL_CreateWindow(programName(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                         kPageWidth, kPageHeight, 0);
    }
    if (screen.window == nullptr) {
        std::snprintf(failure, failureSize, "%s", SDL_GetError());
        SDL_Quit();
        return false;
    }
    screen.fullScreen = (SDL_GetWindowFlags(screen.window) & SDL_WINDOW_FULLSCREEN) != 0;
    // First: a GL renderer makes SDL create the X window anew.
    if (!choosePath(failure, failureSize)) {
        closeScreen();
        return false;
    }
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(screen.window, &info) && info.subsystem == SDL_SYSWM_X11) {
        screen.x11 = info.info.x11.display;
        screen.x11Window = info.info.x11.window;
        screen.unmanaged = !windowManagerRuns(screen.x11);
        paintWindowBlack(screen.x11, screen.x11Window);
        placeUnmanagedWindow();
        if (screen.path == Path::Indexed) {
            // With no window manager to install the window's colormap, the program does.
            screen.colormap = makePaletteColormap(screen.x11, screen.x11Window, screen.unmanaged);
            if (screen.colormap == None) {
                std::snprintf(failure, failureSize, "the X server gave no colormap for the palette");
                closeScreen();
                return false;
            }
        }
        // As a manager gives a new window the focus: with none, it would stay on the
        // desktop, and the picture would count as switched away from.
        if (screen.unmanaged) {
            SDL_SetWindowInputFocus(screen.window);
        }
    }
    // A new window counts as in front until it hears otherwise: a Wayland compositor gives
    // the focus only once the first picture has arrived.
    screen.focused = true;
    screen.redrawAll = true;
    screen.clearBorders = true;
    return true;
}

void closeScreen() {
    Screen& screen = gScreen;
    if (screen.monitorSwitched) {
        restoreMonitor(screen.x11, modeGuardianLease(), screen.monitor);
    }
    if (screen.shadow != nullptr) {
        SDL_FreeSurface(screen.shadow);
    }
    if (screen.textureFormat != nullptr) {
        SDL_FreeFormat(screen.textureFormat);
    }
    if (screen.renderer != nullptr) {
        SDL_DestroyRenderer(screen.renderer);  // its texture with it
    }
    SDL_DestroyWindow(screen.window);
    if (screen.colormap != None) {
        XFreeColormap(screen.x11, screen.colormap);
    }
    SDL_Quit();
    std::memset(&screen, 0, sizeof screen);
}

void toggleFullScreen() {
    Screen& screen = gScreen;
    const Uint32 wanted = screen.fullScreen ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP;
    if (SDL_SetWindowFullscreen(screen.window, wanted) == 0) {
        screen.fullScreen = !screen.fullScreen;
        if (!screen.fullScreen) {
            SDL_SetWindowPosition(screen.window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
        }
        placeUnmanagedWindow();
    }
    screen.redrawAll = true;
    screen.clearBorders = true;
}

// Keys arriving in one pass; more than the queue holds could never be read anyway.
struct IncomingKeys {
    KeyText keys[kKeyQueueLength];
    int count;
    bool toggle;
};

void addKey(IncomingKeys& incoming, KeyText key) {
    if (incoming.count < kKeyQueueLength) {
        incoming.keys[incoming.count++] = key;
    }
}

void takeWindowEvent(const SDL_WindowEvent& event) {
    Screen& screen = gScreen;
    // Only the focus and the window's being shown decide whether the user is away; an
    // exposure, which another window's moving off the picture also brings, only asks for
    // the whole picture again.
    switch (event.event) {
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        screen.focused = true;
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        screen.focused = false;
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
    case SDL_WINDOWEVENT_HIDDEN:
        screen.hidden = true;
        break;
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_SHOWN:
        screen.hidden = false;
        break;
    default:
        break;
    }
    switch (event.event) {
    case SDL_WINDOWEVENT_FOCUS_GAINED:
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        screen.redrawAll = true;
        screen.clearBorders = true;
        break;
    default:
        break;
    }
}

void takeEvents(IncomingKeys& incoming) {
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        switch (event.type) {
        case SDL_KEYDOWN: {
            // Keys count only while the display has the focus: typed elsewhere, they are
            // another program's.
            if (!gScreen.focused) {
                break;
            }
            const KeyTranslation key = translateKey(event.key.keysym.sym, event.key.keysym.mod, event.key.repeat != 0);
            if (key.outcome == KeyOutcome::Queue) {
                addKey(incoming, key.text);
            } else if (key.outcome == KeyOutcome::ToggleFullScreen) {
                incoming.toggle = !incoming.toggle;
            }
            break;
        }
        case SDL_QUIT:
            addKey(incoming, kCloseRequest);
            break;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
                addKey(incoming, kCloseRequest);
            } else {
                takeWindowEvent(event.window);
            }
            break;
        default:
            break;
        }
    }
    if (takeCloseSignal()) {
        addKey(incoming, kCloseRequest);
    }
}

// The picture cannot be shown any more: rather than run on with a blank screen, say so
// and end. A switched monitor is given back by the guardian as the process ends.
[[noreturn]] void failToShow(const char* what) {
    char line[300];
    const int length = std::snprintf(line, sizeof line, "%s: cannot show the picture: %s: %s\n", programName(), what,
                                     SDL_GetError());
    [[maybe_unused]] const ssize_t written =
        write(STDERR_FILENO, line, static_cast<std::size_t>(std::min<int>(length, sizeof line - 1)));
    _exit(1);
}

// The surface to convert into: the window's own when it is 32-bit and holds the whole
// picture; otherwise a 32-bit shadow that is blitted to it, converted and clipped by SDL.
SDL_Surface* drawingSurface(SDL_Surface* windowSurface) {
    Screen& screen = gScreen;
    const bool fits = windowSurface->w >= kPageWidth && windowSurface->h >= kPageHeight;
    if (windowSurface->w != screen.surfaceWidth || windowSurface->h != screen.surfaceHeight) {
        screen.surfaceWidth = windowSurface->w;
        screen.surfaceHeight = windowSurface->h;
        screen.placement = fits ? placePicture(windowSurface->w, windowSurface->h) : Placement{1, 0, 0};
        screen.redrawAll = true;
        screen.clearBorders = true;
        if (screen.shadow != nullptr) {
            SDL_FreeSurface(screen.shadow);
            screen.shadow = nullptr;
        }
    }
    if (fits && windowSurface->format->BytesPerPixel == 4) {
        return windowSurface;
    }
    if (screen.shadow == nullptr) {
        screen.shadow = SDL_CreateRGBSurfaceWithFormat(0, fits ? windowSurface->w : kPageWidth,
                                                       fits ? windowSurface->h : kPageHeight, 32, SDL_PIXELFORMAT_RGB888);
        if (screen.shadow == nullptr) {
            failToShow("no surface to convert the picture into");
        }
    }
    return screen.shadow;
}

void mapColours(const SDL_PixelFormat* format) {
    Screen& screen = gScreen;
    for (int i = 0; i < kPaletteSize; ++i) {
        screen.colours[i] = SDL_MapRGB(format, levelIntensity(screen.levels[i][0]), levelIntensity(screen.levels[i][1]),
                                       levelIntensity(screen.levels[i][2]));
    }
}

void presentOnSurface(bool paletteChanged) {
    Screen& screen = gScreen;
    SDL_Surface* windowSurface = SDL_GetWindowSurface(screen.window);
    if (windowSurface == nullptr) {
        failToShow("the window has no surface");
    }
    SDL_Surface* target = drawingSurface(windowSurface);
    if (paletteChanged || screen.redrawAll) {
        mapColours(target->format);
    }
    if (screen.clearBorders) {
        SDL_FillRect(target, nullptr, SDL_MapRGB(target->format, 0, 0, 0));
    }
    if (SDL_MUSTLOCK(target)) {
        SDL_LockSurface(target);
    }
    convertRows(screen.page, screen.colours, static_cast<std::uint8_t*>(target->pixels), target->pitch,
                screen.placement, 0, kPageHeight - 1);
    if (SDL_MUSTLOCK(target)) {
        SDL_UnlockSurface(target);
    }
    if (target != windowSurface) {
        // A window too small for the picture shows its middle.
        SDL_Rect where{(windowSurface->w - target->w) / 2, (windowSurface->h - target->h) / 2, target->w, target->h};
        SDL_BlitSurface(target, nullptr, windowSurface, &where);
    }
    if (SDL_UpdateWindowSurface(screen.window) != 0) {
        failToShow("the window's surface would not update");
    }
}

// The page converted into the texture at its own size; the renderer scales it by the
// largest whole factor into the middle of the window, on black.
void presentThroughTexture(bool paletteChanged) {
    Screen& screen = gScreen;
    if (paletteChanged || screen.redrawAll) {
        mapColours(screen.textureFormat);
    }
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(screen.texture, nullptr, &pixels, &pitch) != 0) {
        failToShow("the texture would not lock");
    }
    convertRows(screen.page, screen.colours, static_cast<std::uint8_t*>(pixels), pitch, Placement{1, 0, 0}, 0,
                kPageHeight - 1);
    SDL_UnlockTexture(screen.texture);
    int width = 0, height = 0;
    SDL_GetRendererOutputSize(screen.renderer, &width, &height);
    const Placement at = placePicture(width, height);
    const SDL_Rect where{at.offsetX, at.offsetY, kPageWidth * at.scale, kPageHeight * at.scale};
    SDL_SetRenderDrawColor(screen.renderer, 0, 0, 0, 255);
    if (SDL_RenderClear(screen.renderer) != 0 || SDL_RenderCopy(screen.renderer, screen.texture, nullptr, &where) != 0) {
        failToShow("the renderer would not draw");
    }
    SDL_RenderPresent(screen.renderer);
}

// The palette into the colormap, which recolours every pixel on the screen at once; the
// page to the window only where it changed, as it is.
void presentIndexed(bool pageChanged, bool paletteChanged) {
    Screen& screen = gScreen;
    if (paletteChanged || screen.redrawAll) {
        storePalette(screen.x11, screen.colormap, screen.levels);
    }
    if (!pageChanged && !screen.redrawAll) {
        XFlush(screen.x11);
        return;
    }
    SDL_Surface* surface = SDL_GetWindowSurface(screen.window);
    if (surface == nullptr) {
        failToShow("the window has no surface");
    }
    if (surface->w != screen.surfaceWidth || surface->h != screen.surfaceHeight) {
        screen.surfaceWidth = surface->w;
        screen.surfaceHeight = surface->h;
        screen.placement = placePicture(surface->w, surface->h);
        screen.clearBorders = true;
    }
    const Placement at = screen.placement;
    // A window smaller than the picture shows its top-left part.
    const std::int32_t rows = std::min(kPageHeight, (surface->h - std::max(at.offsetY, 0)) / at.scale);
    if (surface->w < kPageWidth * at.scale || rows <= 0) {
        return;
    }
    if (screen.clearBorders) {
        SDL_FillRect(surface, nullptr, 0);  // entry 0, black for the whole run
    }
    if (SDL_MUSTLOCK(surface)) {
        SDL_LockSurface(surface);
    }
    copyRows(screen.page, static_cast<std::uint8_t*>(surface->pixels), surface->pitch, at, 0, rows - 1);
    if (SDL_MUSTLOCK(surface)) {
        SDL_UnlockSurface(surface);
    }
    if (SDL_UpdateWindowSurface(screen.window) != 0) {
        failToShow("the window's surface would not update");
    }
}

// The whole picture, whenever anything of it changed: on true colour the palette changes
// every frame, so drawing only the rows a disc touched would save nothing.
void present(bool pageChanged, bool paletteChanged) {
    Screen& screen = gScreen;
    if (!pageChanged && !paletteChanged && !screen.redrawAll) {
        return;
    }
    if (screen.path == Path::Surface) {
        presentOnSurface(paletteChanged);
    } else if (screen.path == Path::Texture) {
        presentThroughTexture(paletteChanged);
    } else {
        presentIndexed(pageChanged, paletteChanged);
    }
    screen.redrawAll = false;
    screen.clearBorders = false;
    probeRefreshShown();
}

// One pass: events in, what changed out under the lock, then the slow work without it.
// Returns false once closeDisplay has asked the thread to end.
bool refreshPass() {
    Screen& screen = gScreen;
    IncomingKeys incoming{};
    takeEvents(incoming);

    bool stop = false;
    bool hidePointer = false;
    bool paletteChanged = false;
    DirtyRect rows = kNothingDrawn;
    {
        ProbedLock lock(gDisplayLock, LockUser::Refresh);
        for (int i = 0; i < incoming.count && gShared.keyCount < kKeyQueueLength; ++i) {
            gShared.keys[(gShared.firstKey + gShared.keyCount++) % kKeyQueueLength] = incoming.keys[i];
        }
        stop = gShared.stop;
        hidePointer = gShared.hidePointer;
        // While switched away, changes wait in the shared page; the return redraws all.
        if (!switchedAway() && !stop) {
            rows = screen.redrawAll ? kWholePage : gShared.changed;
            // Only what changed is copied, so the lock is held for microseconds.
            if (!rows.empty()) {
                const std::size_t width = static_cast<std::size_t>(rows.right - rows.left + 1);
                for (std::int32_t row = rows.top; row <= rows.bottom; ++row) {
                    const std::size_t at = static_cast<std::size_t>(row) * kPageWidth + static_cast<std::size_t>(rows.left);
                    std::memcpy(screen.page + at, gShared.page + at, width);
                }
            }
            if (gShared.paletteChanged) {
                std::memcpy(screen.levels, gShared.levels, sizeof screen.levels);
                paletteChanged = true;
            }
            gShared.changed = kNothingDrawn;
            gShared.paletteChanged = false;
        }
    }
    if (stop) {
        return false;
    }
    if (hidePointer && !screen.pointerHidden) {
        SDL_ShowCursor(SDL_DISABLE);
        screen.pointerHidden = true;
    }
    if (incoming.toggle) {
        toggleFullScreen();
        followMonitorMode();
        endOnXFault();
        return true;  // the new surface arrives with the next pass's events
    }
    followMonitorMode();
    if (!switchedAway()) {
        present(!rows.empty(), paletteChanged);
    }
    endOnXFault();
    return true;
}

int refreshThread(void* fullScreenRequested) {
    const bool fullScreen = fullScreenRequested != nullptr;
    // Above normal priority where the system allows, so the picture keeps its pace
    // beside a busy program; refusal changes nothing else.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), -5);

    char failure[sizeof gShared.failure] = {};
    const bool open = openScreen(fullScreen, failure, sizeof failure);
    endOnXFault();
    {
        std::lock_guard<std::mutex> lock(gDisplayLock);
        gShared.started = true;
        gShared.open = open;
        std::memcpy(gShared.failure, failure, sizeof failure);
    }
    gDisplaySignal.notify_all();
    if (!open) {
        return 0;
    }

    auto nextPass = std::chrono::steady_clock::now();
    while (refreshPass()) {
        nextPass += kRefreshInterval;
        const auto now = std::chrono::steady_clock::now();
        if (nextPass < now) {
            nextPass = now;  // after a stall, keep the interval rather than catch up
        }
        std::unique_lock<std::mutex> lock(gDisplayLock);
        gDisplaySignal.wait_until(lock, nextPass, [] { return gShared.stop; });
    }
    closeScreen();
    endOnXFault();
    return 0;
}

} // namespace

// ---------------------------------------------------------------------------------
// The program's side.

void openDisplay(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel, std::int32_t pages,
                 bool fullScreen, std::int32_t refreshRate) {
    (void)width, (void)height, (void)bitsPerPixel, (void)pages, (void)refreshRate;  // one page of 640x480x8 is all there is
    if (gRefreshThread != nullptr) {
        return;
    }
    // Before SDL opens its connection: SDL chains its own handler to the one it finds.
    handleXErrors();
    // Before the refresh thread exists, since nothing may change the environment while
    // another thread may read it.
    forgetEmptyDisplayNames();
    {
        std::lock_guard<std::mutex> lock(gDisplayLock);
        std::memset(&gShared, 0, sizeof gShared);
        gShared.changed = kNothingDrawn;
    }
    static int fullScreenMark;
    gRefreshThread = SDL_CreateThread(refreshThread, "disctrail refresh", fullScreen ? &fullScreenMark : nullptr);
    if (gRefreshThread == nullptr) {
        std::fprintf(stderr, "%s: cannot open a display: %s\n", programName(), SDL_GetError());
        std::exit(1);
    }
    bool open = false;
    char failure[sizeof gShared.failure];
    {
        std::unique_lock<std::mutex> lock(gDisplayLock);
        while (!gDisplaySignal.wait_for(lock, std::chrono::milliseconds(20), [] { return gShared.started; })) {
            if (takeCloseSignal()) {
                // Asked to close while the window system has still not shown the window
                // (a window manager that is only starting may never map it). Nothing is
                // on the screen yet; ending the process frees what the server holds for
                // it, and the guardian gives a switched monitor back.
                _exit(0);
            }
        }
        open = gShared.open;
        std::memcpy(failure, gShared.failure, sizeof failure);
    }
    if (!open) {
        SDL_WaitThread(gRefreshThread, nullptr);
        gRefreshThread = nullptr;
        std::fprintf(stderr, "%s: cannot open a display: %s\n", programName(), failure);
        std::exit(1);
    }
}

void hidePointer(std::int32_t x, std::int32_t y, std::int32_t visible) {
    (void)x, (void)y;  // a negative x leaves the pointer where it is
    ProbedLock lock(gDisplayLock, LockUser::Program);
    gShared.hidePointer = visible == 0;
}

void setPaletteEntry(std::int32_t index, std::int32_t red, std::int32_t green, std::int32_t blue) {
    ProbedLock lock(gDisplayLock, LockUser::Program);
    if (!gShared.open || index < 0 || index >= kPaletteSize) {
        return;
    }
    gShared.levels[index][0] = paletteLevel(red);
    gShared.levels[index][1] = paletteLevel(green);
    gShared.levels[index][2] = paletteLevel(blue);
    gShared.paletteChanged = true;
}

void fillCircle(float x, float y, float radius, std::int32_t colour) {
    // The whole disc under the lock: a refresh never shows part of one.
    ProbedLock lock(gDisplayLock, LockUser::Program);
    if (!gShared.open) {
        return;
    }
    const DirtyRect drawn = rasterCircle(gShared.page, x, y, radius, colour);
    if (!drawn.empty()) {
        DirtyRect& changed = gShared.changed;
        changed = DirtyRect{std::min(changed.top, drawn.top), std::max(changed.bottom, drawn.bottom),
                            std::min(changed.left, drawn.left), std::max(changed.right, drawn.right)};
    }
}

KeyText pollKey() {
    ProbedLock lock(gDisplayLock, LockUser::Program);
    if (gShared.keyCount == 0) {
        return KeyText{{0, 0}, 0};
    }
    const KeyText key = gShared.keys[gShared.firstKey];
    gShared.firstKey = (gShared.firstKey + 1) % kKeyQueueLength;
    --gShared.keyCount;
    return key;
}

void pauseMs(std::int32_t milliseconds) {
    probeFrameWork(probeNow());
    timespec remaining{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
    probePause(probeNow());
}

void closeDisplay() {
    if (gRefreshThread == nullptr) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(gDisplayLock);
        gShared.stop = true;
        gShared.open = false;
    }
    gDisplaySignal.notify_all();
    SDL_WaitThread(gRefreshThread, nullptr);
    gRefreshThread = nullptr;
    probeReport();
}
