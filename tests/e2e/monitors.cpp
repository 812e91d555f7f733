#include "monitors.h"

#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <stdexcept>

#include "child_process.h"

Layout readLayout(Display* display) {
    Layout layout;
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display));
    if (resources == nullptr) {
        return layout;
    }
    for (int i = 0; i < resources->noutput; ++i) {
        XRROutputInfo* output = XRRGetOutputInfo(display, resources, resources->outputs[i]);
        if (output == nullptr) {
            continue;
        }
        if (output->crtc != None) {
            XRRCrtcInfo* crtc = XRRGetCrtcInfo(display, resources, output->crtc);
            if (crtc != nullptr && crtc->mode != None) {
                layout.push_back(MonitorState{output->name, crtc->x, crtc->y, static_cast<int>(crtc->width),
                                              static_cast<int>(crtc->height)});
            }
            if (crtc != nullptr) {
                XRRFreeCrtcInfo(crtc);
            }
        }
        XRRFreeOutputInfo(output);
    }
    XRRFreeScreenResources(resources);
    std::sort(layout.begin(), layout.end(),
              [](const MonitorState& a, const MonitorState& b) { return a.output < b.output; });
    return layout;
}

std::string describe(const Layout& layout) {
    if (layout.empty()) {
        return "no lit output";
    }
    std::string text;
    for (const MonitorState& monitor : layout) {
        text += (text.empty() ? "" : ", ") + monitor.output + " " + std::to_string(monitor.width) + "x" +
                std::to_string(monitor.height) + "+" + std::to_string(monitor.x) + "+" + std::to_string(monitor.y);
    }
    return text;
}

MonitorState monitorNamed(const Layout& layout, const std::string& output) {
    const auto found = std::find_if(layout.begin(), layout.end(),
                                    [&](const MonitorState& monitor) { return monitor.output == output; });
    return found == layout.end() ? MonitorState{} : *found;
}

std::string describe(ProgramMonitor where) {
    switch (where) {
    case ProgramMonitor::Alone:
        return "Alone";
    case ProgramMonitor::Left:
        return "Left";
    case ProgramMonitor::Right:
        return "Right";
    }
    return "?";
}

void runXrandr(const XServer& server, const std::vector<std::string>& arguments) {
    Launch launch;
    launch.arguments = {XRANDR_PATH, "--display", server.displayName()};
    launch.arguments.insert(launch.arguments.end(), arguments.begin(), arguments.end());
    launch.environment = environmentWithoutDisplay();
    launch.stdoutPath = makeTemporaryFile("disctrail-xrandr");
    launch.stderrPath = launch.stdoutPath;
    const ExitResult result = waitForExit(startProcess(launch), std::chrono::milliseconds(10000));
    const std::string output = readFile(launch.stdoutPath);
    std::remove(launch.stdoutPath.c_str());
    if (!result.exited || result.status != 0) {
        std::string command;
        for (const std::string& argument : arguments) {
            command += " " + argument;
        }
        throw std::runtime_error("xrandr" + command + " " + result.outcome() + ":\n" + output);
    }
}

void arrangeMonitors(const XServer& server, ProgramMonitor where) {
    if (where == ProgramMonitor::Alone) {
        return;  // the server starts with DUMMY0 alone at 1024x768
    }
    const bool programLeft = where == ProgramMonitor::Left;
    runXrandr(server, {"--addmode", "DUMMY1", "1024x768"});
    runXrandr(server, {"--output", "DUMMY0", "--primary", "--mode", "1024x768", "--pos", programLeft ? "0x0" : "1024x0",
                       "--output", "DUMMY1", "--mode", "1024x768", "--pos", programLeft ? "1024x0" : "0x0"});
}

LayoutWait waitForLayout(Display* display, const Layout& expected, std::chrono::milliseconds limit) {
    LayoutWait wait;
    const std::optional<double> seconds = pollUntil(
        [&] {
            wait.seen = readLayout(display);
            return wait.seen == expected;
        },
        limit);
    wait.reached = seconds.has_value();
    wait.seconds = seconds.value_or(limit.count() / 1000.0);
    return wait;
}

Layout withMode(Layout layout, const std::string& output, int width, int height) {
    for (MonitorState& monitor : layout) {
        if (monitor.output == output) {
            monitor.width = width;
            monitor.height = height;
        }
    }
    return layout;
}
