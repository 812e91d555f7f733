// The monitors of an X server with RandR, as the tests arrange them and read them back:
// Xorg on the dummy driver offers outputs DUMMY0, DUMMY1, ..., each a monitor whose mode
// really changes.
#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <string>
#include <vector>

#include "x_server.h"

// One lit output: its name, and the part of the X screen it shows.
struct MonitorState {
    std::string output;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool operator==(const MonitorState&) const = default;
};

// Every lit output, by name.
using Layout = std::vector<MonitorState>;

Layout readLayout(Display* display);
std::string describe(const Layout& layout);
// The output's state in the layout; an empty name where it is not lit.
MonitorState monitorNamed(const Layout& layout, const std::string& output);

// Where the program's monitor, DUMMY0, the primary output, on which its window opens,
// stands: alone, or beside DUMMY1 on its left or on its right. Each monitor at 1024x768.
enum class ProgramMonitor { Alone, Left, Right };
std::string describe(ProgramMonitor where);

// Arranges the server's monitors so, with xrandr. Throws with xrandr's output on failure.
void arrangeMonitors(const XServer& server, ProgramMonitor where);

// Runs xrandr on the server with `arguments`; throws with its output when it fails.
void runXrandr(const XServer& server, const std::vector<std::string>& arguments);

// Polls the layout until it is `expected` or `limit` runs out.
struct LayoutWait {
    Layout seen;
    bool reached = false;
    double seconds = 0;
};
LayoutWait waitForLayout(Display* display, const Layout& expected, std::chrono::milliseconds limit);

// The layout with `output` showing `width` x `height` from where it stands.
Layout withMode(Layout layout, const std::string& output, int width, int height);
