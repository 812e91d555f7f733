#include "x_server.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "child_process.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kStartLimit{10000};

// What the server writes on its -displayfd descriptor when it is ready: the display
// number and a newline. An empty result means it closed the pipe or ran out of time.
std::string readDisplayNumber(int fd, std::chrono::milliseconds limit) {
    const Clock::time_point deadline = Clock::now() + limit;
    std::string text;
    while (text.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return "";
        }
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        char buffer[32];
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count <= 0) {
            return "";
        }
        text.append(buffer, static_cast<std::size_t>(count));
    }
    return text.substr(0, text.find('\n'));
}

bool acceptsConnections(const std::string& displayName) {
    Display* display = XOpenDisplay(displayName.c_str());
    if (display == nullptr) {
        return false;
    }
    XCloseDisplay(display);
    return true;
}

// Starts a server that announces its display number on -displayfd, waits for the
// announcement and for a first client connection to succeed.
XServer startAnnouncingServer(std::vector<std::string> arguments, const std::string& logPath,
                              const std::string& workDirectory) {
    int announcement[2];
    if (pipe2(announcement, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe2 failed");
    }
    arguments.insert(arguments.begin() + 1, {"-displayfd", std::to_string(announcement[1])});

    Launch launch;
    launch.arguments = arguments;
    launch.environment = environmentWithoutDisplay();
    launch.stdoutPath = logPath;
    launch.stderrPath = logPath;
    launch.inheritedFd = announcement[1];

    XServer server;
    server.logPath = logPath;
    server.workDirectory = workDirectory;
    server.pid = startProcess(launch);
    close(announcement[1]);
    const std::string number = readDisplayNumber(announcement[0], kStartLimit);
    close(announcement[0]);

    if (number.empty()) {
        const std::string log = tailOfFile(logPath, 25);
        stopXServer(server);
        throw std::runtime_error(arguments[0] + " did not announce a display; its log ends:\n" + log);
    }
    server.displayNumber = std::stoi(number);
    if (!acceptsConnections(server.displayName())) {
        const std::string log = tailOfFile(logPath, 25);
        stopXServer(server);
        throw std::runtime_error(arguments[0] + " announced display :" + number +
                                 " but refuses connections; its log ends:\n" + log);
    }
    return server;
}

// Two modes at the standard VESA timings, so that the driver offers both under these
// names; the desktop starts in the first.
constexpr const char* kXorgConfiguration = R"(Section "ServerFlags"
    Option "AutoAddDevices" "false"
    Option "AutoEnableDevices" "false"
    Option "DontVTSwitch" "true"
EndSection

Section "Device"
    Identifier "dummy card"
    Driver "dummy"
    VideoRam 16384
EndSection

Section "Monitor"
    Identifier "dummy monitor"
    HorizSync 5.0-1000.0
    VertRefresh 5.0-200.0
    Modeline "1024x768" 65.00 1024 1048 1184 1344 768 771 777 806 -hsync -vsync
    Modeline "640x480" 25.175 640 656 752 800 480 490 492 525 -hsync -vsync
EndSection

Section "Screen"
    Identifier "dummy screen"
    Device "dummy card"
    Monitor "dummy monitor"
    DefaultDepth 24
    SubSection "Display"
        Depth 24
        Modes "1024x768" "640x480"
        Virtual 1024 768
    EndSubSection
EndSection
)";

} // namespace

XServer startXvfb(int width, int height, int depth, const std::vector<std::string>& arguments) {
    const std::string geometry = std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(depth);
    std::vector<std::string> command{XVFB_PATH, "-screen", "0", geometry, "-nolisten", "tcp", "-noreset"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return startAnnouncingServer(command, makeTemporaryFile("disctrail-xvfb-log"), "");
}

XServer startXorgDummy() {
    const std::string directory = makeTemporaryDirectory("disctrail-xorg");
    const std::string configPath = directory + "/xorg.conf";
    std::ofstream(configPath) << kXorgConfiguration;
    return startAnnouncingServer({XORG_PATH, "-config", configPath, "-logfile", directory + "/Xorg.log",
                                  "-noreset", "-nolisten", "tcp"},
                                 directory + "/output.log", directory);
}

namespace {

bool hasSupportingWmCheck(Display* display) {
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const bool found = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, AnyPropertyType,
                                          &type, &format, &count, &after, &data) == Success &&
                       count == 1;
    if (data != nullptr) {
        XFree(data);
    }
    return found;
}

// Whether a window mapped now gets framed and shown within `limit`. The window manager
// announces itself before it handles map requests, and a window mapped in between can
// stay unmapped for good; a person starts programs on a desktop that is past that.
bool framesNewWindows(Display* display, std::chrono::milliseconds limit) {
    const Window probe = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 16, 16, 0, 0, 0);
    XSelectInput(display, probe, StructureNotifyMask);
    XMapWindow(display, probe);
    XSync(display, False);
    bool framed = false;
    bool mapped = false;
    const Clock::time_point deadline = Clock::now() + limit;
    while (!(framed && mapped) && Clock::now() < deadline) {
        XEvent event;
        if (XCheckWindowEvent(display, probe, StructureNotifyMask, &event)) {
            framed = framed || event.type == ReparentNotify;
            mapped = mapped || event.type == MapNotify;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    XDestroyWindow(display, probe);
    XSync(display, False);
    return framed && mapped;
}

bool managesScreen(const std::string& displayName) {
    Display* display = XOpenDisplay(displayName.c_str());
    if (display == nullptr) {
        return false;
    }
    const bool manages = hasSupportingWmCheck(display) && framesNewWindows(display, std::chrono::milliseconds(500));
    XCloseDisplay(display);
    return manages;
}

} // namespace

WindowManager startOpenbox(const XServer& server) {
    WindowManager manager;
    manager.homeDirectory = makeTemporaryDirectory("disctrail-openbox-home");
    manager.logPath = manager.homeDirectory + "/openbox.log";

    Launch launch;
    launch.arguments = {OPENBOX_PATH};
    launch.environment = environmentWithoutDisplay();
    std::erase_if(launch.environment, [](const std::string& entry) {
        return entry.starts_with("HOME=") || entry.starts_with("XDG_CONFIG_HOME=") ||
               entry.starts_with("XDG_CACHE_HOME=") || entry.starts_with("XDG_DATA_HOME=");
    });
    launch.environment.push_back("DISPLAY=" + server.displayName());
    launch.environment.push_back("HOME=" + manager.homeDirectory);
    launch.stdoutPath = manager.logPath;
    launch.stderrPath = manager.logPath;
    manager.pid = startProcess(launch);

    const Clock::time_point deadline = Clock::now() + kStartLimit;
    while (!managesScreen(server.displayName())) {
        const bool ended = waitForExit(manager.pid, std::chrono::milliseconds(0)).finished;
        if (ended) {
            manager.pid = -1;
        }
        if (ended || Clock::now() >= deadline) {
            const std::string log = tailOfFile(manager.logPath, 25);
            stopWindowManager(manager);
            throw std::runtime_error("Openbox did not take charge of " + server.displayName() + "; its log ends:\n" +
                                     log);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return manager;
}

void stopWindowManager(WindowManager& manager) {
    if (manager.pid > 0) {
        terminateAndReap(manager.pid, std::chrono::milliseconds(5000));
        manager.pid = -1;
    }
    if (!manager.homeDirectory.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(manager.homeDirectory, ignored);
        manager.homeDirectory.clear();
    }
}

void stopXServer(XServer& server) {
    if (server.pid > 0) {
        terminateAndReap(server.pid, std::chrono::milliseconds(5000));
        server.pid = -1;
    }
    std::error_code ignored;
    if (!server.workDirectory.empty()) {
        std::filesystem::remove_all(server.workDirectory, ignored);
    } else if (!server.logPath.empty()) {
        std::filesystem::remove(server.logPath, ignored);
    }
}

int unusedDisplayNumber() {
    for (int number = 90; number < 1000; ++number) {
        const std::string suffix = std::to_string(number);
        if (!std::filesystem::exists("/tmp/.X11-unix/X" + suffix) &&
            !std::filesystem::exists("/tmp/.X" + suffix + "-lock")) {
            return number;
        }
    }
    throw std::runtime_error("every display number from 90 to 999 is in use");
}
