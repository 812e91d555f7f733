// One monitor at 640x480 through RandR, and the record that gives it its mode back.
//
// Full screen is a desktop-sized window on the monitor that holds it. Where that monitor
// offers 640x480, its CRTC alone is switched to that mode, in place: no other monitor
// moves and the X screen keeps its size. In the same server grab as the switch, the
// monitor's mode is recorded on the root window under a lease: a window of the guardian
// process that gives it back should the program die (mode_guardian.cpp). While a record
// stands under a live lease, no other run switches, so no run ever takes a switched mode
// for the desktop's; a record whose lease has gone (its run and its guardian both killed)
// is restored by the next run that looks.
#pragma once

#include <X11/Xlib.h>

// Part of the X screen, in root coordinates.
struct MonitorArea {
    int x, y, width, height;
};

// Whether the server has RandR 1.2 or later, asked without Xlib's complaint where it has
// none.
bool hasRandr(Display* display);

// The same of the X server DISPLAY names, on a connection of its own closed again; false
// where none answers.
bool displayHasRandr();

// Switches the monitor that shows root position (x, y) to 640x480, recording its mode
// under `lease`. False, with nothing changed, where RandR, the monitor or the mode is
// missing, another run holds a switch, or the server refuses; `area` is then the
// monitor's area as it is, where there is one.
bool switchMonitor(Display* display, Window lease, int x, int y, MonitorArea& area);

// Gives the monitor recorded under `lease` its mode back, or its preferred mode where the
// recorded one is gone, and removes the record. False where no record of `lease` stands.
// `area` is the monitor's area after.
bool restoreMonitor(Display* display, Window lease, MonitorArea& area);
