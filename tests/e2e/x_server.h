// X servers for the end-to-end tests: a virtual framebuffer (Xvfb) of a chosen size,
// or a real Xorg server on the dummy video driver, which can change video modes.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

struct XServer {
    pid_t pid = -1;
    int displayNumber = -1;
    std::string logPath;      // the server's standard output and error
    std::string workDirectory; // holds Xorg's configuration and log; empty for Xvfb

    std::string displayName() const { return ":" + std::to_string(displayNumber); }
    bool running() const { return pid > 0; }
};

// Starts Xvfb with one screen of width x height at `depth` bits (8 is PseudoColor, with a
// colormap of its own), with its further `arguments` ("-extension", "RANDR" leaves RandR
// out). The server picks a free display number itself and reports it once it accepts
// connections. Throws with the server's log when it does not come up within a few seconds.
XServer startXvfb(int width, int height, int depth = 24, const std::vector<std::string>& arguments = {});

// Starts Xorg on the dummy driver, with the modes 1024x768 (the desktop's) and 640x480,
// with its configuration and log in a new temporary directory. Throws with the log
// when the server does not come up.
XServer startXorgDummy();

// SIGTERM to the server's PID, then SIGKILL if it lingers; removes its temporary files.
void stopXServer(XServer& server);

// A window manager on a server: Openbox with its stock configuration, and a home
// directory of its own so that no user's settings reach it.
struct WindowManager {
    pid_t pid = -1;
    std::string homeDirectory;
    std::string logPath;
};

// Starts Openbox on the server and waits until it manages the screen: it has set
// _NET_SUPPORTING_WM_CHECK on the root window, and frames and shows a new window.
// Throws with its log otherwise.
WindowManager startOpenbox(const XServer& server);
void stopWindowManager(WindowManager& manager);

// A display number on which no server listens now: neither its socket nor its lock
// file exists.
int unusedDisplayNumber();
