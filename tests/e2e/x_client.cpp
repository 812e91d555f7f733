#include "x_client.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <stdexcept>
#include <thread>

namespace {

int ignoreError(Display*, XErrorEvent*) { return 0; }

std::optional<long> windowPid(Display* display, Window window) {
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::optional<long> pid;
    if (XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count,
                           &after, &data) == Success &&
        data != nullptr && format == 32 && count == 1) {
        pid = *reinterpret_cast<long*>(data);
    }
    if (data != nullptr) {
        XFree(data);
    }
    return pid;
}

std::string windowTitle(Display* display, Window window) {
    std::string title;
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name != nullptr) {
        title = name;
        XFree(name);
        return title;
    }
    const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, netName, 0, 256, False, utf8, &type, &format, &count, &after,
                           &data) == Success &&
        data != nullptr && format == 8) {
        title.assign(reinterpret_cast<char*>(data), count);
    }
    if (data != nullptr) {
        XFree(data);
    }
    return title;
}

std::optional<ProgramWindow> describeWindow(Display* display, Window window) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes)) {
        return std::nullopt;
    }
    ProgramWindow found;
    found.id = window;
    found.width = attributes.width;
    found.height = attributes.height;
    found.viewable = attributes.map_state == IsViewable;
    found.title = windowTitle(display, window);
    Window child = 0;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &found.x, &found.y, &child);
    return found;
}

struct Candidates {
    std::optional<ProgramWindow> byPid;
    std::optional<ProgramWindow> byTitle;
};

// Calls `visit` on every window below `parent`, three levels deep: a window manager puts
// the client's window inside a frame of its own.
void forEachWindow(Display* display, Window parent, const std::function<void(Window)>& visit, int depth = 0) {
    Window root = 0;
    Window parentOfParent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, parent, &root, &parentOfParent, &children, &count)) {
        return;
    }
    for (unsigned int i = 0; i < count; ++i) {
        visit(children[i]);
        if (depth < 3) {
            forEachWindow(display, children[i], visit, depth + 1);
        }
    }
    if (children != nullptr) {
        XFree(children);
    }
}

void search(Display* display, pid_t pid, Candidates& candidates) {
    forEachWindow(display, DefaultRootWindow(display), [&](Window window) {
        const std::optional<long> owner = windowPid(display, window);
        const bool ownedByProgram = owner && *owner == pid;
        const bool titled = !ownedByProgram && windowTitle(display, window) == "disctrail";
        if (ownedByProgram || titled) {
            std::optional<ProgramWindow> found = describeWindow(display, window);
            if (found && found->viewable) {
                found->owner = ownedByProgram ? pid : 0;
                (ownedByProgram ? candidates.byPid : candidates.byTitle) = found;
            }
        }
    });
}

} // namespace

std::vector<Window> windowsOf(Display* display, pid_t pid) {
    std::vector<Window> found;
    forEachWindow(display, DefaultRootWindow(display), [&](Window window) {
        const std::optional<long> owner = windowPid(display, window);
        if ((owner && *owner == pid) || windowTitle(display, window) == "disctrail") {
            found.push_back(window);
        }
    });
    return found;
}

std::string describeWindows(Display* display) {
    std::string list;
    forEachWindow(display, DefaultRootWindow(display), [&](Window window) {
        const std::optional<long> owner = windowPid(display, window);
        const std::optional<ProgramWindow> found = describeWindow(display, window);
        if (found && (owner || !found->title.empty())) {
            list += "  '" + found->title + "' pid " + (owner ? std::to_string(*owner) : std::string("?")) + " " +
                    std::to_string(found->width) + "x" + std::to_string(found->height) + " at (" +
                    std::to_string(found->x) + "," + std::to_string(found->y) + ")" +
                    (found->viewable ? " viewable" : " not viewable") + "\n";
        }
    });
    return list.empty() ? "  none with a title or an owner\n" : list;
}

DisplayHandle connectTo(const std::string& displayName) {
    XSetErrorHandler(ignoreError);
    return DisplayHandle(XOpenDisplay(displayName.c_str()));
}

std::optional<ProgramWindow> findProgramWindow(Display* display, pid_t pid) {
    Candidates candidates;
    search(display, pid, candidates);
    return candidates.byPid ? candidates.byPid : candidates.byTitle;
}

WindowWait waitForProgramWindow(Display* display, pid_t pid, std::chrono::milliseconds limit,
                                const std::function<bool(const ProgramWindow&)>& accept) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    WindowWait wait;
    for (;;) {
        wait.window = findProgramWindow(display, pid);
        wait.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (wait.window && accept(*wait.window)) {
            wait.accepted = true;
            return wait;
        }
        if (Clock::now() - start >= limit) {
            return wait;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void paintWallpaper(Display* display) {
    const Window root = DefaultRootWindow(display);
    XColor wallpaper{};
    wallpaper.red = static_cast<unsigned short>(kWallpaper.red * 257);
    wallpaper.green = static_cast<unsigned short>(kWallpaper.green * 257);
    wallpaper.blue = static_cast<unsigned short>(kWallpaper.blue * 257);
    XAllocColor(display, DefaultColormap(display, DefaultScreen(display)), &wallpaper);
    XSetWindowBackground(display, root, wallpaper.pixel);
    XClearWindow(display, root);
    XSync(display, False);
}

bool showsDrawing(Display* display, const ProgramWindow& window) {
    const Size screen = screenSize(display);
    const int left = std::max(window.x, 0);
    const int top = std::max(window.y, 0);
    const int right = std::min(window.x + window.width, screen.width);
    const int bottom = std::min(window.y + window.height, screen.height);
    if (right <= left || bottom <= top) {
        return false;
    }
    const Screenshot shot = takeScreenshotOf(display, {left, top, right - left, bottom - top});
    const Rgb wallpaper = shownWallpaper(display);
    return std::any_of(shot.pixels.begin(), shot.pixels.end(),
                       [&](const Rgb& pixel) { return !pixel.isBlack() && !(pixel == wallpaper); });
}

void focusWindow(Display* display, const ProgramWindow& window) {
    XSetInputFocus(display, window.id, RevertToPointerRoot, CurrentTime);
    XTestFakeMotionEvent(display, DefaultScreen(display), window.x + window.width / 2,
                         window.y + window.height / 2, CurrentTime);
    XSync(display, False);
}

void focusRootWindow(Display* display) {
    XSetInputFocus(display, DefaultRootWindow(display), RevertToPointerRoot, CurrentTime);
    XSync(display, False);
}

namespace {

// A 32-bit client message about `window`, of type `type` with two data words, sent to
// `destination`: the window itself, or the root, where a window manager listens.
void sendClientMessage(Display* display, Window destination, Window window, const char* type, long first,
                       long second) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, type, False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = first;
    event.xclient.data.l[1] = second;
    const long mask = destination == window ? NoEventMask : SubstructureRedirectMask | SubstructureNotifyMask;
    XSendEvent(display, destination, False, mask, &event);
}

constexpr long kFromTaskbar = 2;  // a pager or taskbar, acting for the user

} // namespace

void activateWindow(Display* display, Window window) {
    sendClientMessage(display, DefaultRootWindow(display), window, "_NET_ACTIVE_WINDOW", kFromTaskbar, CurrentTime);
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable) {
        XSetInputFocus(display, window, RevertToPointerRoot, CurrentTime);
    }
    XSync(display, False);
}

Window openOtherWindow(Display* display, int x, int y) {
    const Window other = XCreateSimpleWindow(display, DefaultRootWindow(display), x, y, 32, 32, 0, 0, 0xffffff);
    XStoreName(display, other, "other program");
    XSelectInput(display, other, StructureNotifyMask);
    XMapRaised(display, other);
    XSync(display, False);
    for (int tries = 0; tries < 200; ++tries) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, other, &attributes) && attributes.map_state == IsViewable) {
            return other;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    XDestroyWindow(display, other);
    XSync(display, False);
    return 0;
}

void clickAt(Display* display, int x, int y) {
    XTestFakeMotionEvent(display, DefaultScreen(display), x, y, CurrentTime);
    XSync(display, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XSync(display, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XSync(display, False);
}

void typeChord(Display* display, const std::vector<KeySym>& keys) {
    std::vector<KeyCode> codes;
    for (KeySym key : keys) {
        const KeyCode code = XKeysymToKeycode(display, key);
        if (code == 0) {
            throw std::runtime_error(std::string("no key on this keyboard gives ") + XKeysymToString(key));
        }
        codes.push_back(code);
    }
    for (KeyCode code : codes) {
        XTestFakeKeyEvent(display, code, True, CurrentTime);
        XSync(display, False);
    }
    // A person holds a key for tens of milliseconds: XTest's delay makes the server wait
    // that long before it releases the key.
    XTestFakeKeyEvent(display, codes.back(), False, 40);
    for (auto code = codes.rbegin() + 1; code != codes.rend(); ++code) {
        XTestFakeKeyEvent(display, *code, False, 10);
    }
    XSync(display, False);
}

void sendCloseRequest(Display* display, Window window) {
    sendClientMessage(display, window, window, "WM_PROTOCOLS",
                      static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False)), CurrentTime);
    XSync(display, False);
}

void askWindowManagerToClose(Display* display, Window window) {
    sendClientMessage(display, DefaultRootWindow(display), window, "_NET_CLOSE_WINDOW", CurrentTime, kFromTaskbar);
    XSync(display, False);
}

bool acceptsCloseRequest(Display* display, Window window) {
    const Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    Atom* protocols = nullptr;
    int count = 0;
    bool found = false;
    if (XGetWMProtocols(display, window, &protocols, &count)) {
        for (int i = 0; i < count; ++i) {
            found = found || protocols[i] == deleteWindow;
        }
        XFree(protocols);
    }
    return found;
}

std::optional<int> countClients(Display* display) {
    int eventBase = 0;
    int errorBase = 0;
    if (!XResQueryExtension(display, &eventBase, &errorBase)) {
        return std::nullopt;
    }
    int count = 0;
    XResClient* clients = nullptr;
    if (XResQueryClients(display, &count, &clients) == 0) {
        return std::nullopt;
    }
    if (clients != nullptr) {
        XFree(clients);
    }
    return count;
}

namespace {

// A channel of `mask`'s width as 8 bits, its full value mapping to 255, to the nearest:
// an 8-bit intensity widened to 10 bits and read back comes out as itself.
std::uint8_t channelOf(unsigned long pixel, unsigned long mask) {
    if (mask == 0) {
        return 0;
    }
    const int shift = __builtin_ctzl(mask);
    const unsigned long maximum = mask >> shift;
    return static_cast<std::uint8_t>((((pixel & mask) >> shift) * 255 + maximum / 2) / maximum);
}

// The colormap the screen shows now: the first installed one, as on a single-map screen.
Colormap installedColormap(Display* display) {
    int count = 0;
    Colormap* installed = XListInstalledColormaps(display, DefaultRootWindow(display), &count);
    const Colormap shown = count > 0 ? installed[0] : DefaultColormap(display, DefaultScreen(display));
    if (installed != nullptr) {
        XFree(installed);
    }
    return shown;
}

// What a pixel value shows as, as a monitor would: true colour through the visual's
// masks at any depth, PseudoColor through the colormap the screen shows.
struct PixelDecoder {
    const Visual* visual;
    std::vector<Rgb> cells;  // PseudoColor's

    explicit PixelDecoder(Display* display) : visual(DefaultVisual(display, DefaultScreen(display))) {
        if (visual->c_class == PseudoColor) {
            std::vector<XColor> colours(static_cast<std::size_t>(visual->map_entries));
            for (std::size_t i = 0; i < colours.size(); ++i) {
                colours[i].pixel = i;
            }
            XQueryColors(display, installedColormap(display), colours.data(), static_cast<int>(colours.size()));
            for (const XColor& colour : colours) {
                cells.push_back({static_cast<std::uint8_t>(colour.red >> 8), static_cast<std::uint8_t>(colour.green >> 8),
                                 static_cast<std::uint8_t>(colour.blue >> 8)});
            }
        } else if (visual->c_class != TrueColor) {
            throw std::runtime_error("the screen's visual is neither TrueColor nor PseudoColor");
        }
    }

    Rgb operator()(unsigned long pixel) const {
        if (!cells.empty()) {
            return cells[pixel % cells.size()];
        }
        return {channelOf(pixel, visual->red_mask), channelOf(pixel, visual->green_mask),
                channelOf(pixel, visual->blue_mask)};
    }
};

} // namespace

Screenshot takeScreenshotOf(Display* display, const Rect& area) {
    XImage* image = XGetImage(display, DefaultRootWindow(display), area.left, area.top,
                              static_cast<unsigned>(area.width), static_cast<unsigned>(area.height), AllPlanes,
                              ZPixmap);
    if (image == nullptr) {
        throw std::runtime_error("XGetImage of the root window failed for " + describe(area));
    }
    const PixelDecoder decode(display);
    Screenshot picture;
    picture.width = area.width;
    picture.height = area.height;
    picture.pixels.reserve(static_cast<std::size_t>(area.width) * area.height);
    for (int y = 0; y < area.height; ++y) {
        for (int x = 0; x < area.width; ++x) {
            picture.pixels.push_back(decode(XGetPixel(image, x, y)));
        }
    }
    XDestroyImage(image);
    return picture;
}

Rgb shownWallpaper(Display* display) {
    XColor wallpaper{};
    wallpaper.red = static_cast<unsigned short>(kWallpaper.red * 257);
    wallpaper.green = static_cast<unsigned short>(kWallpaper.green * 257);
    wallpaper.blue = static_cast<unsigned short>(kWallpaper.blue * 257);
    XAllocColor(display, DefaultColormap(display, DefaultScreen(display)), &wallpaper);
    return PixelDecoder(display)(wallpaper.pixel);
}

Screenshot takeScreenshot(Display* display) {
    const Size size = screenSize(display);
    return takeScreenshotOf(display, {0, 0, size.width, size.height});
}

std::optional<Size> monitorMode(Display* display) {
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display));
    if (resources == nullptr) {
        return std::nullopt;
    }
    std::optional<Size> mode;
    for (int i = 0; i < resources->ncrtc && !mode; ++i) {
        XRRCrtcInfo* crtc = XRRGetCrtcInfo(display, resources, resources->crtcs[i]);
        if (crtc != nullptr && crtc->mode != None && crtc->noutput > 0) {
            mode = Size{static_cast<int>(crtc->width), static_cast<int>(crtc->height)};
        }
        if (crtc != nullptr) {
            XRRFreeCrtcInfo(crtc);
        }
    }
    XRRFreeScreenResources(resources);
    return mode;
}

Size screenSize(Display* display) {
    Window root = 0;
    int x = 0;
    int y = 0;
    unsigned int width = 0;
    unsigned int height = 0;
    unsigned int border = 0;
    unsigned int depth = 0;
    XGetGeometry(display, DefaultRootWindow(display), &root, &x, &y, &width, &height, &border, &depth);
    return {static_cast<int>(width), static_cast<int>(height)};
}

ModeWait waitForMonitorMode(Display* display, const Size& expected, std::chrono::milliseconds limit) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    ModeWait wait;
    for (;;) {
        wait.seen = monitorMode(display);
        wait.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        wait.reached = wait.seen == expected;
        if (wait.reached || Clock::now() - start >= limit) {
            return wait;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::string describeMode(const std::optional<Size>& mode) {
    return mode ? std::to_string(mode->width) + "x" + std::to_string(mode->height) : std::string("no mode");
}
