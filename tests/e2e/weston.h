// Weston, the reference Wayland compositor, nested in an X server of the test's: its x11
// back end shows its one output as a window on that server, where screenshots see it and
// XTest's keys reach whichever Wayland client has the focus. With Xwayland it also runs
// an X server of its own for X clients.
#pragma once

#include <sys/types.h>

#include <string>

#include <X11/Xlib.h>

#include "screenshot.h"
#include "x_server.h"

struct Weston {
    pid_t pid = -1;
    std::string runtimeDirectory;  // a private XDG_RUNTIME_DIR, which holds its socket
    std::string socketName;        // what WAYLAND_DISPLAY names
    std::string logPath;
    std::string xwaylandDisplay;   // ":N" when started with Xwayland, else empty
};

// Where weston's output shows on the host's screen, and how large it is.
constexpr Rect kWestonOutput{0, 0, 1024, 768};

// Starts weston on `host` (whose screen must be larger than kWestonOutput) with the pixman
// renderer and no configuration of anyone's, with Xwayland when asked, and waits until it
// takes clients. Throws with its log when it does not.
Weston startWeston(const XServer& host, bool xwayland);
void stopWeston(Weston& weston);

// Whether weston's output, read back from `host`, shows a full-screen picture: its
// panel and background covered, the corners black as the picture's borders, and
// something drawn.
bool westonShowsFullScreenPicture(Display* host);
