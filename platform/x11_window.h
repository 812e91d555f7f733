// What a window manager does for a window, done by the program itself where none runs,
// and the window's first look on X.
#pragma once

#include <X11/Xlib.h>

#include "platform/x11_mode.h"

// Whether a window manager looks after the screen: EWMH managers name a check window on
// the root.
bool windowManagerRuns(Display* display);

// The window's own background, which the X server shows before the first refresh
// reaches it: black like the page, rather than whatever the screen held there.
void paintWindowBlack(Display* display, Window window);

// Moves and sizes the window to `area` and raises it, as a manager would for a
// full-screen window or a new one; with no manager nobody else does.
void placeWindow(Display* display, Window window, const MonitorArea& area);

// The root position of the window's centre.
bool windowCentre(Display* display, Window window, int& x, int& y);
