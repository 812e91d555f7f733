#include "weston.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "child_process.h"
#include "x_client.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kStartLimit{10000};

// The X display weston names in its log once its Xwayland socket listens.
std::string xwaylandDisplayIn(const std::string& log) {
    const std::string marker = "xserver listening on display ";
    const std::size_t at = log.find(marker);
    if (at == std::string::npos) {
        return "";
    }
    const std::size_t start = at + marker.size();
    return log.substr(start, log.find('\n', start) - start);
}

} // namespace

Weston startWeston(const XServer& host, bool xwayland) {
    Weston weston;
    weston.runtimeDirectory = makeTemporaryDirectory("disctrail-weston");
    chmod(weston.runtimeDirectory.c_str(), 0700);
    weston.socketName = "disctrail-wayland";
    weston.logPath = weston.runtimeDirectory + "/weston.log";

    Launch launch;
    launch.arguments = {WESTON_PATH,        "--backend=x11-backend.so", "--use-pixman", "--no-config", "--idle-time=0",
                        "--socket=" + weston.socketName, "--width=" + std::to_string(kWestonOutput.width),
                        "--height=" + std::to_string(kWestonOutput.height), "--log=" + weston.logPath};
    if (xwayland) {
        launch.arguments.push_back("--xwayland");
    }
    launch.environment = environmentWithoutDisplay();
    std::erase_if(launch.environment, [](const std::string& entry) { return entry.starts_with("XDG_RUNTIME_DIR="); });
    launch.environment.push_back("DISPLAY=" + host.displayName());
    launch.environment.push_back("XDG_RUNTIME_DIR=" + weston.runtimeDirectory);
    launch.stdoutPath = weston.runtimeDirectory + "/output.log";
    launch.stderrPath = launch.stdoutPath;
    weston.pid = startProcess(launch);

    const std::string socketPath = weston.runtimeDirectory + "/" + weston.socketName;
    const Clock::time_point deadline = Clock::now() + kStartLimit;
    for (;;) {
        const std::string log = readFile(weston.logPath);
        const bool listening = std::filesystem::exists(socketPath);
        weston.xwaylandDisplay = xwaylandDisplayIn(log);
        if (listening && (!xwayland || !weston.xwaylandDisplay.empty())) {
            return weston;
        }
        const bool ended = waitForExit(weston.pid, std::chrono::milliseconds(0)).finished;
        if (ended || Clock::now() >= deadline) {
            if (ended) {
                weston.pid = -1;
            }
            const std::string tail = tailOfFile(weston.logPath, 25) + tailOfFile(launch.stdoutPath, 10);
            stopWeston(weston);
            throw std::runtime_error("weston did not start on " + host.displayName() + "; its log ends:\n" + tail);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void stopWeston(Weston& weston) {
    if (weston.pid > 0) {
        terminateAndReap(weston.pid, std::chrono::milliseconds(5000));
        weston.pid = -1;
    }
    if (!weston.runtimeDirectory.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(weston.runtimeDirectory, ignored);
        weston.runtimeDirectory.clear();
    }
}

bool westonShowsFullScreenPicture(Display* host) {
    const Screenshot output = takeScreenshotOf(host, kWestonOutput);
    const int right = kWestonOutput.width - 16;
    const int bottom = kWestonOutput.height - 16;
    for (const auto& [left, top] : {std::pair{0, 0}, std::pair{right, 0}, std::pair{0, bottom}, std::pair{right, bottom}}) {
        if (nonBlackInPatch(output, left, top, 16) != 0) {
            return false;
        }
    }
    return std::any_of(output.pixels.begin(), output.pixels.end(), [](const Rgb& pixel) { return !pixel.isBlack(); });
}
