#include "platform/x11_window.h"

#include <X11/Xatom.h>

#include "platform/x11_errors.h"

namespace {

// The window that `window`'s _NET_SUPPORTING_WM_CHECK names, or None.
Window checkWindowOf(Display* display, Window window, Atom check) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    Window named = None;
    if (XGetWindowProperty(display, window, check, 0, 1, False, XA_WINDOW, &type, &format, &count, &remaining,
                           &data) == Success &&
        type == XA_WINDOW && format == 32 && count == 1) {
        named = static_cast<Window>(*reinterpret_cast<const unsigned long*>(data));
    }
    if (data != nullptr) {
        XFree(data);
    }
    return named;
}

} // namespace

bool windowManagerRuns(Display* display) {
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == None) {
        return false;
    }
    // The root names the manager's check window, which names itself; a manager that has
    // died leaves the root's property behind, but not its window.
    const Window named = checkWindowOf(display, DefaultRootWindow(display), check);
    if (named == None) {
        return false;
    }
    expectXErrors(display);
    const bool alive = checkWindowOf(display, named, check) == named;
    const bool refused = takeXError(display) != Success;
    stopExpectingXErrors();
    return alive && !refused;
}

void paintWindowBlack(Display* display, Window window) {
    XSetWindowBackground(display, window, BlackPixel(display, DefaultScreen(display)));
    XClearWindow(display, window);
    XFlush(display);
}

void placeWindow(Display* display, Window window, const MonitorArea& area) {
    XMoveResizeWindow(display, window, area.x, area.y, static_cast<unsigned>(area.width),
                      static_cast<unsigned>(area.height));
    XRaiseWindow(display, window);
    XFlush(display);
}

bool windowCentre(Display* display, Window window, int& x, int& y) {
    XWindowAttributes attributes;
    Window child = None;
    return XGetWindowAttributes(display, window, &attributes) != 0 &&
           XTranslateCoordinates(display, window, DefaultRootWindow(display), attributes.width / 2,
                                 attributes.height / 2, &x, &y, &child) != 0;
}
