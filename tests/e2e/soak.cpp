// A long run of the program on a private Xvfb, as a person leaves it running and now and
// then switches between full screen and a window and to another program and back. Its
// resident memory is sampled every second; at the end a key ends the run.
//
//   soak [--seconds N] [--every S] [--growth-limit KB] [--no-growth-check]
//        [--start-limit S] [--switch-limit S] [--end-limit S] [-- COMMAND ARGUMENTS...]
//
// COMMAND is disctrail itself unless given (valgrind, say, with disctrail after it).
// Fails when the program dies during the run, when a switch does not happen, when the
// program does not end with status 0 on the key, or when its resident memory grew by
// more than the limit after the first ten seconds.
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "x_client.h"
#include "x_server.h"

using namespace std::chrono_literals;

namespace {

constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;
// Start-up allocates; growth counts from the end of this.
constexpr int kWarmUpSeconds = 10;

struct Options {
    int seconds = 600;
    int every = 5;              // seconds between Alt+Enter and a focus change
    long growthLimitKb = 256;
    bool checkGrowth = true;
    int startLimit = 10;        // seconds for the window and its first picture
    int switchLimit = 2;        // seconds for full screen or the window after Alt+Enter
    int endLimit = 5;           // seconds for the program's end after the key
    std::vector<std::string> command{DISCTRAIL_PATH};
};

[[noreturn]] void usage() {
    std::fprintf(stderr, "usage: soak [--seconds N] [--every S] [--growth-limit KB] [--no-growth-check]\n"
                         "            [--start-limit S] [--switch-limit S] [--end-limit S]\n"
                         "            [-- COMMAND ARGUMENTS...]\n");
    std::exit(2);
}

Options parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--seconds" && hasValue) {
            options.seconds = std::atoi(argv[++i]);
        } else if (argument == "--every" && hasValue) {
            options.every = std::max(1, std::atoi(argv[++i]));
        } else if (argument == "--growth-limit" && hasValue) {
            options.growthLimitKb = std::atol(argv[++i]);
        } else if (argument == "--no-growth-check") {
            options.checkGrowth = false;
        } else if (argument == "--start-limit" && hasValue) {
            options.startLimit = std::atoi(argv[++i]);
        } else if (argument == "--switch-limit" && hasValue) {
            options.switchLimit = std::atoi(argv[++i]);
        } else if (argument == "--end-limit" && hasValue) {
            options.endLimit = std::atoi(argv[++i]);
        } else if (argument == "--" && hasValue) {
            options.command.assign(argv + i + 1, argv + argc);
            break;
        } else {
            usage();
        }
    }
    if (options.seconds <= 0) {
        usage();
    }
    return options;
}

struct Sample {
    int second;
    long residentKb;
    bool fullScreen;
};

bool isFullScreen(const ProgramWindow& window) {
    return window.x == 0 && window.y == 0 && window.width == kScreenWidth && window.height == kScreenHeight;
}

bool isPictureWindow(const ProgramWindow& window) { return window.width == 640 && window.height == 480; }

// The largest sample of the mode within [from, to) seconds, or -1 when there is none.
long largest(const std::vector<Sample>& samples, int from, int to, bool fullScreen) {
    long most = -1;
    for (const Sample& sample : samples) {
        if (sample.second >= from && sample.second < to && sample.fullScreen == fullScreen) {
            most = std::max(most, sample.residentKb);
        }
    }
    return most;
}

struct Soak {
    XServer server;
    DisplayHandle display;
    pid_t pid = -1;
    std::string stderrPath;
    std::string stdoutPath;
    Window other = 0;
    Window window = 0;           // the program's
    bool fullScreen = true;
    int switches = 0;
    int failedSwitches = 0;
};

// Alt+Enter, the new state awaited, then the focus to the desktop or to another window
// and back to the program, as a person does with a click here and a click there.
void switchAndWander(Soak& soak, std::chrono::seconds limit) {
    Display* display = soak.display.get();
    activateWindow(display, soak.window);
    if (const auto window = findProgramWindow(display, soak.pid)) {
        focusWindow(display, *window);
    }
    typeChord(display, {XK_Alt_L, XK_Return});
    soak.fullScreen = !soak.fullScreen;
    soak.switches += 1;
    const WindowWait wait =
        waitForProgramWindow(display, soak.pid, limit, soak.fullScreen ? isFullScreen : isPictureWindow);
    if (!wait.accepted) {
        soak.failedSwitches += 1;
        std::printf("soak: switch %d to %s did not happen within %lld s\n", soak.switches,
                    soak.fullScreen ? "full screen" : "a window", static_cast<long long>(limit.count()));
    }
    if (soak.switches % 2 == 0) {
        focusRootWindow(display);
    } else {
        XSetInputFocus(display, soak.other, RevertToPointerRoot, CurrentTime);
        XSync(display, False);
    }
    std::this_thread::sleep_for(100ms);
    // Back, as a person clicks on it or on its taskbar entry.
    activateWindow(display, soak.window);
    const WindowWait back = waitForProgramWindow(display, soak.pid, limit, [](const ProgramWindow&) { return true; });
    if (back.window) {
        focusWindow(display, *back.window);
    }
}

} // namespace

int main(int argc, char** argv) {
    const Options options = parse(argc, argv);
    Soak soak;
    soak.server = startXvfb(kScreenWidth, kScreenHeight);
    soak.display = connectTo(soak.server.displayName());
    if (!soak.display) {
        std::fprintf(stderr, "soak: cannot connect to the Xvfb on %s\n", soak.server.displayName().c_str());
        stopXServer(soak.server);
        return 1;
    }
    Display* display = soak.display.get();
    paintWallpaper(display);
    soak.other = openOtherWindow(display, kScreenWidth - 40, kScreenHeight - 40);

    Launch launch;
    launch.arguments = options.command;
    launch.environment = environmentWithoutDisplay();
    launch.environment.push_back("DISPLAY=" + soak.server.displayName());
    launch.stdoutPath = soak.stdoutPath = makeTemporaryFile("disctrail-soak-stdout");
    launch.stderrPath = soak.stderrPath = makeTemporaryFile("disctrail-soak-stderr");
    soak.pid = startProcess(launch);

    std::vector<std::string> failures;
    const WindowWait shown = waitForProgramWindow(display, soak.pid, std::chrono::seconds(options.startLimit),
                                                  [&](const ProgramWindow& window) {
                                                      return window.viewable && showsDrawing(display, window);
                                                  });
    std::vector<Sample> samples;
    ExitResult died;
    if (!shown.accepted) {
        failures.push_back("the program showed no picture within " + std::to_string(options.startLimit) + " s");
    } else {
        soak.window = shown.window->id;
        focusWindow(display, *shown.window);
        std::printf("soak: %s on %s for %d s, Alt+Enter and a focus change every %d s\n", options.command[0].c_str(),
                    soak.server.displayName().c_str(), options.seconds, options.every);
        std::fflush(stdout);
        const auto start = std::chrono::steady_clock::now();
        for (int second = 1; second <= options.seconds; ++second) {
            std::this_thread::sleep_until(start + std::chrono::seconds(second));
            died = waitForExit(soak.pid, 0ms);
            if (died.finished) {
                failures.push_back("the program ended by itself after " + std::to_string(second) + " s: " +
                                   died.outcome());
                break;
            }
            if (const std::optional<MemoryUse> memory = memoryUse(soak.pid)) {
                samples.push_back({second, memory->residentKb, soak.fullScreen});
                if (second % 60 == 0) {
                    std::printf("soak: %d s: VmRSS %ld kB in %s\n", second, memory->residentKb,
                                soak.fullScreen ? "full screen" : "a window");
                    std::fflush(stdout);
                }
            }
            if (second % options.every == 0 && second < options.seconds) {
                switchAndWander(soak, std::chrono::seconds(options.switchLimit));
            }
        }
    }

    ExitResult ended = died;
    if (!died.finished) {
        if (const auto window = findProgramWindow(display, soak.pid)) {
            focusWindow(display, *window);
        }
        typeChord(display, {XK_a});
        ended = waitForExit(soak.pid, std::chrono::seconds(options.endLimit));
        if (!ended.finished) {
            killAndReap(soak.pid);
            failures.push_back("the program was still running " + std::to_string(options.endLimit) +
                               " s after the key, and was killed");
        } else if (!ended.exited || ended.status != 0) {
            failures.push_back("after the key the program " + ended.outcome());
        }
    }
    if (soak.failedSwitches > 0) {
        failures.push_back(std::to_string(soak.failedSwitches) + " of " + std::to_string(soak.switches) +
                           " switches did not happen");
    }

    // Full screen and the window hold surfaces of different sizes, so each mode is
    // compared with itself: its largest sample in the ten seconds after the warm-up
    // against its largest in the last ten seconds.
    if (!samples.empty()) {
        long least = samples.front().residentKb;
        long most = least;
        for (const Sample& sample : samples) {
            least = std::min(least, sample.residentKb);
            most = std::max(most, sample.residentKb);
        }
        std::printf("soak: %zu samples of VmRSS: first %ld kB, least %ld kB, most %ld kB, last %ld kB\n",
                    samples.size(), samples.front().residentKb, least, most, samples.back().residentKb);
        const int last = samples.back().second + 1;
        for (const bool fullScreen : {true, false}) {
            const long early = largest(samples, kWarmUpSeconds, kWarmUpSeconds + 10, fullScreen);
            const long late = largest(samples, std::max(kWarmUpSeconds + 10, last - 10), last, fullScreen);
            const char* mode = fullScreen ? "full screen" : "window";
            if (early < 0 || late < 0) {
                std::printf("soak: %s: too few samples after the first %d s to compare\n", mode, kWarmUpSeconds);
                continue;
            }
            std::printf("soak: %s: most VmRSS %ld kB in seconds %d-%d, %ld kB in the last ten: %+ld kB\n", mode, early,
                        kWarmUpSeconds, kWarmUpSeconds + 10, late, late - early);
            if (options.checkGrowth && late - early > options.growthLimitKb) {
                failures.push_back(std::string("in ") + mode + " resident memory grew by " +
                                   std::to_string(late - early) + " kB after the first " +
                                   std::to_string(kWarmUpSeconds) + " s, more than " +
                                   std::to_string(options.growthLimitKb) + " kB");
            }
        }
    }
    std::printf("soak: %d switches; the program %s\n", soak.switches, ended.outcome().c_str());

    const std::string errors = tailOfFile(soak.stderrPath, 10);
    if (!errors.empty()) {
        std::printf("soak: the program's standard error ends:\n%s", errors.c_str());
    }
    std::remove(soak.stdoutPath.c_str());
    std::remove(soak.stderrPath.c_str());
    if (soak.other != 0) {
        XDestroyWindow(display, soak.other);
    }
    soak.display.reset();
    stopXServer(soak.server);

    for (const std::string& failure : failures) {
        std::printf("soak: FAILED: %s\n", failure.c_str());
    }
    if (failures.empty()) {
        std::printf("soak: passed\n");
    }
    return failures.empty() ? 0 : 1;
}
