// The whole program, measured as it runs: disctrail_measured on a private Xvfb for a
// number of seconds, beside a bare loop of the same 1 ms pauses in this process.
//
//   measure_display [--seconds N] [--screen WIDTHxHEIGHT] [--window] [--wayland]
//
// --window switches the program to its 640x480 window with Alt+Enter first (use a
// screen larger than 640x480). --wayland runs it as a Wayland client of weston, nested
// in the Xvfb with one 1024x768 output (--screen is then ignored); weston's own CPU is
// reported beside the program's. Prints lines of "name value" pairs; see BENCHMARKS.md.
#include <X11/keysym.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>

#include <unistd.h>

#include "child_process.h"
#include "weston.h"
#include "x_client.h"
#include "x_server.h"

using namespace std::chrono_literals;

namespace {

struct Options {
    int seconds = 10;
    int width = 640;
    int height = 480;
    bool window = false;
    bool wayland = false;
};

Options parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--seconds" && i + 1 < argc) {
            options.seconds = std::atoi(argv[++i]);
        } else if (argument == "--screen" && i + 1 < argc) {
            std::sscanf(argv[++i], "%dx%d", &options.width, &options.height);
        } else if (argument == "--window") {
            options.window = true;
        } else if (argument == "--wayland") {
            options.wayland = true;
        } else {
            std::fprintf(stderr, "usage: measure_display [--seconds N] [--screen WIDTHxHEIGHT] [--window] [--wayland]\n");
            std::exit(2);
        }
    }
    return options;
}

std::int64_t monotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// User plus system time of a process, in seconds.
double cpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string content((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(content.substr(content.rfind(')') + 2));
    std::string field;
    unsigned long long user = 0, system = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 14) user = std::stoull(field);
        if (index == 15) {
            system = std::stoull(field);
            break;
        }
    }
    return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// A "VmHWM:" style line of /proc/PID/status, in kB.
long statusKilobytes(pid_t pid, const std::string& name) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(name + ":", 0) == 0) {
            return std::atol(line.c_str() + name.size() + 1);
        }
    }
    return -1;
}

std::map<std::string, double> readReport(const std::string& path) {
    std::map<std::string, double> report;
    std::ifstream file(path);
    std::string name;
    double value = 0;
    while (file >> name >> value) {
        report[name] = value;
    }
    return report;
}

// The baseline: how many 1 ms pauses fit in the same seconds with no work between them.
void bareLoop(const std::atomic<bool>& running, long& pauses) {
    while (running.load()) {
        timespec pause{0, 1000000};
        nanosleep(&pause, nullptr);
        ++pauses;
    }
}

} // namespace

int main(int argc, char** argv) {
    Options options = parse(argc, argv);
    if (options.wayland) {
        options.width = kWestonOutput.width + 256;
        options.height = kWestonOutput.height + 256;
    }
    XServer server = startXvfb(options.width, options.height);
    Weston weston;
    if (options.wayland) {
        weston = startWeston(server, false);
    }
    const std::string report = makeTemporaryFile("disctrail-measure");

    Launch launch;
    launch.arguments = {DISCTRAIL_MEASURED_PATH};
    launch.environment = environmentWithoutDisplay();
    if (options.wayland) {
        std::erase_if(launch.environment, [](const std::string& entry) { return entry.starts_with("XDG_RUNTIME_DIR="); });
        launch.environment.push_back("WAYLAND_DISPLAY=" + weston.socketName);
        launch.environment.push_back("XDG_RUNTIME_DIR=" + weston.runtimeDirectory);
    } else {
        launch.environment.push_back("DISPLAY=" + server.displayName());
    }
    launch.environment.push_back("DISCTRAIL_MEASURE_REPORT=" + report);
    launch.stdoutPath = makeTemporaryFile("disctrail-stdout");
    launch.stderrPath = makeTemporaryFile("disctrail-stderr");
    const std::int64_t launched = monotonicNanoseconds();
    const pid_t pid = startProcess(launch);

    DisplayHandle display = connectTo(server.displayName());
    bool shown = false;
    if (options.wayland) {
        // Weston gives the new window the focus; the keys below reach it through weston.
        for (int tries = 0; tries < 500 && !shown; ++tries) {
            shown = westonShowsFullScreenPicture(display.get());
            std::this_thread::sleep_for(20ms);
        }
    } else {
        const WindowWait wait = waitForProgramWindow(display.get(), pid, 10s, [&](const ProgramWindow& window) {
            return showsDrawing(display.get(), window);
        });
        shown = wait.accepted;
        if (shown) {
            focusWindow(display.get(), *wait.window);
        }
    }
    if (!shown) {
        std::fprintf(stderr, "measure_display: the program showed no picture\n%s", tailOfFile(launch.stderrPath, 5).c_str());
        killAndReap(pid);
        stopWeston(weston);
        stopXServer(server);
        return 1;
    }
    if (options.window) {
        typeChord(display.get(), {XK_Alt_L, XK_Return});
        if (!options.wayland) {
            waitForProgramWindow(display.get(), pid, 5s, [](const ProgramWindow& window) {
                return window.width == 640 && window.height == 480;
            });
        }
    }
    std::this_thread::sleep_for(1s);  // past start-up and the switch

    std::atomic<bool> running{true};
    long barePauses = 0;
    const double cpuBefore = cpuSeconds(pid);
    const double westonBefore = options.wayland ? cpuSeconds(weston.pid) : 0;
    const std::int64_t windowStart = monotonicNanoseconds();
    std::thread bare(bareLoop, std::cref(running), std::ref(barePauses));
    std::this_thread::sleep_for(std::chrono::seconds(options.seconds));
    running = false;
    bare.join();
    const std::int64_t windowEnd = monotonicNanoseconds();
    const double cpuAfter = cpuSeconds(pid);
    const double westonAfter = options.wayland ? cpuSeconds(weston.pid) : 0;
    const long peakKilobytes = statusKilobytes(pid, "VmHWM");

    if (const auto window = findProgramWindow(display.get(), pid); window && !options.wayland) {
        focusWindow(display.get(), *window);
    }
    typeChord(display.get(), {XK_q});
    const ExitResult ended = waitForExit(pid, 5s);
    if (!ended.finished) {
        killAndReap(pid);
    }
    display.reset();
    stopWeston(weston);
    stopXServer(server);

    std::map<std::string, double> measured = readReport(report);
    const double seconds = static_cast<double>(windowEnd - windowStart) / 1e9;
    const double frameSeconds = (measured["last_frame_end_ns"] - measured["first_frame_end_ns"]) / 1e9;
    const double refreshSeconds = (measured["end_ns"] - measured["first_refresh_ns"]) / 1e9;
    const double framesPerSecond = frameSeconds > 0 ? (measured["frames"] - 1) / frameSeconds : 0;
    const double barePerSecond = static_cast<double>(barePauses) / seconds;
    std::printf("screen %dx%d%s%s seconds %.1f exit %s\n", options.wayland ? kWestonOutput.width : options.width,
                options.wayland ? kWestonOutput.height : options.height, options.window ? " window" : " fullscreen",
                options.wayland ? " wayland" : "", seconds, ended.outcome().c_str());
    std::printf("frames_per_second %.1f bare_loop_per_second %.1f pace_ratio %.3f\n", framesPerSecond, barePerSecond,
                framesPerSecond / barePerSecond);
    std::printf("frame_work_p50_us %.0f frame_work_p99_us %.0f frame_work_max_us %.1f\n", measured["frame_work_p50_us"],
                measured["frame_work_p99_us"], measured["frame_work_max_us"]);
    std::printf("lock_hold_p99_us %.0f lock_hold_max_us %.1f lock_wait_p99_us %.0f lock_wait_max_us %.1f\n",
                measured["lock_hold_p99_us"], measured["lock_hold_max_us"], measured["lock_wait_p99_us"],
                measured["lock_wait_max_us"]);
    std::printf("cpu_percent %.2f peak_rss_mb %.2f refreshes_per_second %.1f startup_ms %.1f\n",
                100.0 * (cpuAfter - cpuBefore) / seconds, peakKilobytes / 1024.0,
                refreshSeconds > 0 ? measured["refreshes"] / refreshSeconds : 0,
                (measured["first_refresh_ns"] - static_cast<double>(launched)) / 1e6);
    if (options.wayland) {
        std::printf("weston_cpu_percent %.2f\n", 100.0 * (westonAfter - westonBefore) / seconds);
    }
    std::remove(report.c_str());
    std::remove(launch.stdoutPath.c_str());
    std::remove(launch.stderrPath.c_str());
    return ended.finished && ended.exited && ended.status == 0 ? 0 : 1;
}
