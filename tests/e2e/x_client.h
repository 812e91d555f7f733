// The tests' own X client: finds the program's window, types on the keyboard through
// XTest, asks the window to close as a window manager does, and takes screenshots.
#pragma once

#include <X11/Xlib.h>
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "screenshot.h"

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayHandle = std::unique_ptr<Display, DisplayCloser>;

// Opens the display, or returns null. Errors on windows that vanish while they are
// looked at are ignored rather than ending the test process.
DisplayHandle connectTo(const std::string& displayName);

struct ProgramWindow {
    Window id = 0;
    int x = 0;      // position of the top-left corner on the root window
    int y = 0;
    int width = 0;
    int height = 0;
    bool viewable = false;
    std::string title; // WM_NAME, or _NET_WM_NAME when WM_NAME is absent
    pid_t owner = 0;   // the PID it names in _NET_WM_PID, when it is the one looked for
};

// The viewable window that belongs to `pid` (by _NET_WM_PID) or, failing that, is
// titled "disctrail", anywhere in the window tree.
std::optional<ProgramWindow> findProgramWindow(Display* display, pid_t pid);

// Every window, viewable or not, that belongs to `pid` or is titled "disctrail".
std::vector<Window> windowsOf(Display* display, pid_t pid);

// One line for each window with a title or a _NET_WM_PID, for failure messages: title,
// owner, size, position and whether it is mapped.
std::string describeWindows(Display* display);

// Polls findProgramWindow until `accept` takes the window found or `limit` runs out;
// returns the last window seen, accepted or not.
struct WindowWait {
    std::optional<ProgramWindow> window;
    bool accepted = false;
    double seconds = 0;
};
WindowWait waitForProgramWindow(Display* display, pid_t pid, std::chrono::milliseconds limit,
                                const std::function<bool(const ProgramWindow&)>& accept);

// The root window's colour during the tests, as a desktop's wallpaper: mid grey, which is
// none of the program's 64 levels per channel, so the program can never show it.
constexpr Rgb kWallpaper{128, 128, 128};
void paintWallpaper(Display* display);
// The wallpaper as the screen shows it, at its depth: kWallpaper itself at 24 bits.
Rgb shownWallpaper(Display* display);

// Whether the part of the window that is on the screen shows something drawn: a pixel
// that is neither black nor the wallpaper.
bool showsDrawing(Display* display, const ProgramWindow& window);

// Gives the window the keyboard focus and puts the pointer on its centre, as a window
// manager does for a newly mapped window; without a window manager nobody else would.
void focusWindow(Display* display, const ProgramWindow& window);

// Gives the keyboard focus to the root window, as a click on an empty desktop does.
void focusRootWindow(Display* display);

// A small plain window of the test's own at (x, y), mapped and viewable, to move the
// focus to as a person switches to another program. Null when it never became viewable.
Window openOtherWindow(Display* display, int x, int y);

// Brings the window back as a person does by clicking it in a taskbar: asks the window
// manager, if any, to activate it (_NET_ACTIVE_WINDOW, which also restores a minimised
// window), and gives it the focus straight away when it is viewable.
void activateWindow(Display* display, Window window);

// Presses the keys in order and releases them in reverse order, as a person types a
// chord; a single key is a press and a release.
void typeChord(Display* display, const std::vector<KeySym>& keys);

// A click of the first button at root position (x, y), as a person's, through XTest: the
// pointer moves there first and rests a moment, as a compositor nested in the server
// places its own pointer by the motion it has seen.
void clickAt(Display* display, int x, int y);

// The window manager's close request: WM_PROTOCOLS / WM_DELETE_WINDOW.
void sendCloseRequest(Display* display, Window window);
// A taskbar's close request to the window manager (_NET_CLOSE_WINDOW on the root window),
// which the window manager turns into its own close request to the window.
void askWindowManagerToClose(Display* display, Window window);
// Whether the window lists WM_DELETE_WINDOW in WM_PROTOCOLS; a window manager sends
// the close request only then, and otherwise kills the client's connection.
bool acceptsCloseRequest(Display* display, Window window);

// The number of clients connected to the server, from the X-Resource extension; empty
// when the server lacks it.
std::optional<int> countClients(Display* display);

// The whole root window, or the given part of it.
Screenshot takeScreenshot(Display* display);
Screenshot takeScreenshotOf(Display* display, const Rect& area);

// What the monitor shows: the size of the mode of the first output that has one.
struct Size {
    int width = 0;
    int height = 0;
    bool operator==(const Size&) const = default;
};
std::optional<Size> monitorMode(Display* display);
// The root window's size.
Size screenSize(Display* display);

// Polls the monitor's mode until it is `expected` or `limit` runs out.
struct ModeWait {
    std::optional<Size> seen; // the last mode seen
    bool reached = false;
    double seconds = 0;
};
ModeWait waitForMonitorMode(Display* display, const Size& expected, std::chrono::milliseconds limit);
std::string describeMode(const std::optional<Size>& mode);
