#include "platform/x11_colormap.h"

#include <X11/Xutil.h>

#include "platform/page_convert.h"
#include "platform/x11_errors.h"

namespace {

constexpr int kCells = 256;

} // namespace

unsigned long pseudoColorVisual(Display* display) {
    const int screen = DefaultScreen(display);
    const Visual* visual = DefaultVisual(display, screen);
    return visual->c_class == PseudoColor && DefaultDepth(display, screen) == 8 && visual->map_entries >= kCells
               ? XVisualIDFromVisual(const_cast<Visual*>(visual))
               : 0;
}

Colormap makePaletteColormap(Display* display, Window window, bool install) {
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, window, &attributes) == 0) {
        return None;
    }
    expectXErrors(display);
    const Colormap colormap = XCreateColormap(display, window, attributes.visual, AllocAll);
    const bool refused = takeXError(display) != Success;
    stopExpectingXErrors();
    if (refused) {
        return None;
    }
    XSetWindowColormap(display, window, colormap);
    if (install) {
        XInstallColormap(display, colormap);
    }
    return colormap;
}

void storePalette(Display* display, Colormap colormap, const std::uint8_t (*levels)[3]) {
    XColor cells[kCells];
    for (int i = 0; i < kCells; ++i) {
        cells[i].pixel = static_cast<unsigned long>(i);
        cells[i].red = static_cast<unsigned short>(levelIntensity(levels[i][0]) * 257);
        cells[i].green = static_cast<unsigned short>(levelIntensity(levels[i][1]) * 257);
        cells[i].blue = static_cast<unsigned short>(levelIntensity(levels[i][2]) * 257);
        cells[i].flags = DoRed | DoGreen | DoBlue;
    }
    XStoreColors(display, colormap, cells, kCells);
}
