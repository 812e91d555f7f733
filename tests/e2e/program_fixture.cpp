#include "program_fixture.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <thread>

#include <unistd.h>

RunningProgram startDisctrail(const std::optional<std::string>& displayName,
                              const std::vector<std::string>& extraEnvironment, int inheritedFd) {
    static int runs = 0;
    Launch launch;
    launch.arguments = {DISCTRAIL_PATH};
    launch.environment = environmentWithoutDisplay();
    if (displayName) {
        launch.environment.push_back("DISPLAY=" + *displayName);
    }
    for (const std::string& entry : extraEnvironment) {
        const std::string name = entry.substr(0, entry.find('=') + 1);
        std::erase_if(launch.environment, [&](const std::string& kept) { return kept.starts_with(name); });
        launch.environment.push_back(entry);
    }
    const std::string marker = "DISCTRAIL_TEST_RUN=" + std::to_string(getpid()) + "-" + std::to_string(++runs);
    launch.environment.push_back(marker);
    launch.stdoutPath = makeTemporaryFile("disctrail-stdout");
    launch.stderrPath = makeTemporaryFile("disctrail-stderr");
    launch.inheritedFd = inheritedFd;

    RunningProgram program;
    program.stdoutPath = launch.stdoutPath;
    program.stderrPath = launch.stderrPath;
    program.marker = marker;
    program.pid = startProcess(launch);
    return program;
}

namespace {

// A sanitizer's options as the tests run with, and more.
std::string optionsWith(const char* variable, const std::string& options) {
    const char* current = std::getenv(variable);
    return std::string(variable) + "=" +
           (current != nullptr && *current != 0 ? std::string(current) + ":" : std::string()) + options;
}

} // namespace

std::vector<std::string> sanitizerEnvironment(const SanitizerNeeds& needs) {
    const std::string kernelsOwn = "handle_segv=0:handle_sigbus=0:handle_sigfpe=0";
    std::string address;
    for (const auto& [needed, option] : {std::pair{needs.preload, "verify_asan_link_order=0"},
                                         std::pair{needs.noLeakReport, "detect_leaks=0"},
                                         std::pair{needs.kernelSignals, kernelsOwn.c_str()}}) {
        if (needed) {
            address += (address.empty() ? "" : ":") + std::string(option);
        }
    }
    std::vector<std::string> entries;
    if (!address.empty()) {
        entries.push_back(optionsWith("ASAN_OPTIONS", address));
    }
    if (needs.kernelSignals) {
        entries.push_back(optionsWith("TSAN_OPTIONS", kernelsOwn));
    }
    return entries;
}

std::string describe(Desktop desktop) { return desktop == Desktop::Openbox ? "Openbox" : "Bare"; }

void PrintTo(Desktop desktop, std::ostream* out) { *out << describe(desktop); }

void DisctrailTest::TearDown() {
    if (program.pid > 0) {
        killAndReap(program.pid);
        program.pid = -1;
    }
    std::error_code ignored;
    if (!program.stdoutPath.empty()) {
        std::filesystem::remove(program.stdoutPath, ignored);
        std::filesystem::remove(program.stderrPath, ignored);
    }
    display.reset();
    host.reset();
    stopWindowManager(windowManager);
    stopWeston(weston);
    stopXServer(server);
}

void DisctrailTest::startOnXvfb(int width, int height, Desktop desktop) {
    server = startXvfb(width, height);
    if (desktop == Desktop::Openbox) {
        windowManager = startOpenbox(server);
    }
    ASSERT_NO_FATAL_FAILURE(startProgramAndWaitForWindow());
}

void DisctrailTest::startNestedWeston(bool xwayland) {
    server = startXvfb(kWestonOutput.width + 256, kWestonOutput.height + 256);
    weston = startWeston(server, xwayland);
    host = connectTo(server.displayName());
    ASSERT_TRUE(host) << "cannot connect to " << server.displayName();
}

void DisctrailTest::startOnXwayland() {
    ASSERT_NO_FATAL_FAILURE(startNestedWeston(true));
    programDisplay = weston.xwaylandDisplay;
    ASSERT_NO_FATAL_FAILURE(startProgramAndWaitForWindow());
}

void DisctrailTest::startOnWayland() {
    ASSERT_NO_FATAL_FAILURE(startNestedWeston(false));
    display = connectTo(server.displayName());
    // SDL draws through GL on Wayland.
    std::vector<std::string> environment = programEnvironment;
    environment.insert(environment.end(), {"WAYLAND_DISPLAY=" + weston.socketName,
                                           "XDG_RUNTIME_DIR=" + weston.runtimeDirectory});
    const std::vector<std::string> sanitizer = sanitizerEnvironment({.noLeakReport = true});
    environment.insert(environment.end(), sanitizer.begin(), sanitizer.end());
    program = startDisctrail(std::nullopt, environment);
    const ProgramWindow output{0, kWestonOutput.left, kWestonOutput.top, kWestonOutput.width, kWestonOutput.height,
                               true, "weston", 0};
    const std::optional<double> shown = pollUntil([&] { return showsPicture(output); }, kWindowLimit);
    if (!shown) {
        const ExitResult state = waitForExit(program.pid, 0ms);
        FAIL() << "no picture on weston's output within " << kWindowLimit.count() << " ms; the program "
               << (state.finished ? state.outcome() : std::string("is still running")) << "; its standard error:\n"
               << programErrors();
    }
    window = output;
    secondsToWindow = *shown;
}

void DisctrailTest::startProgramAndWaitForWindow() {
    const std::string programOn = programDisplay.empty() ? server.displayName() : programDisplay;
    display = connectTo(programOn);
    ASSERT_TRUE(display) << "cannot connect to " << programOn;
    if (!host) {
        paintWallpaper(display.get());
    }
    program = startDisctrail(programOn, programEnvironment);
    ASSERT_NO_FATAL_FAILURE(waitForWindow([](const ProgramWindow&) { return true; }, "shown"));
}

void DisctrailTest::waitForWindow(const std::function<bool(const ProgramWindow&)>& accept,
                                  const std::string& what, std::chrono::milliseconds limit) {
    ASSERT_GT(program.pid, 0) << "the program had already ended";
    // Ready when a person would start typing: the window is up and the animation shows.
    const WindowWait wait = waitForProgramWindow(display.get(), program.pid, limit, [&](const ProgramWindow& found) {
        return found.viewable && accept(found) && showsPicture(found);
    });
    if (!wait.accepted) {
        const ExitResult state = waitForExit(program.pid, 0ms);
        const pid_t pid = program.pid;
        if (state.finished) {
            program.pid = -1;
        }
        std::string seen = "no viewable window of the program";
        if (wait.window) {
            seen = "window '" + wait.window->title + "' " + std::to_string(wait.window->width) + "x" +
                   std::to_string(wait.window->height) + " at (" + std::to_string(wait.window->x) + "," +
                   std::to_string(wait.window->y) + ")";
        }
        FAIL() << "the program's window was not " << what << ", with the animation on it, within "
               << limit.count() << " ms; saw " << seen << "; the program, PID " << pid << ", "
               << (state.finished ? "had " + state.outcome() : "is still running") << "; windows on the screen:\n"
               << describeWindows(display.get()) << "its standard error:\n"
               << programErrors();
    }
    window = *wait.window;
    secondsToWindow = wait.seconds;
    // Weston gives the focus as it sees fit, and takes back any given behind its back.
    if (!host) {
        focusWindow(display.get(), window);
    }
}

ExitResult DisctrailTest::waitForProgramExit(std::chrono::milliseconds limit) {
    if (program.pid <= 0) {
        ADD_FAILURE() << "the program had already ended";
        return {};
    }
    const ExitResult result = waitForExit(program.pid, limit);
    if (!result.finished) {
        killAndReap(program.pid);
        ADD_FAILURE() << "the program was still running " << limit.count()
                      << " ms later, and was killed; its standard error:\n"
                      << programErrors();
    }
    program.pid = -1;
    return result;
}

void DisctrailTest::expectStillRunning(const std::string& after) {
    if (program.pid <= 0) {
        ADD_FAILURE() << "the program had already ended before " << after;
        return;
    }
    const ExitResult state = waitForExit(program.pid, 0ms);
    if (state.finished) {
        program.pid = -1;
        ADD_FAILURE() << "the program ended after " << after << ": it " << state.outcome()
                      << "; its standard error:\n"
                      << programErrors();
    }
}

void DisctrailTest::expectNothingLeftBehind(pid_t endedPid, const std::optional<int>& clientsBefore) {
    std::vector<pid_t> left;
    const std::optional<double> processesGone = pollUntil(
        [&] {
            left = processesRunning(DISCTRAIL_PATH, program.marker);
            return left.empty();
        },
        kEndLimit);
    std::string pids;
    for (pid_t pid : left) {
        pids += " " + std::to_string(pid) + " (state " + std::string(1, processState(pid)) + ")";
    }
    EXPECT_TRUE(processesGone) << "processes of the run still running " << kEndLimit.count()
                               << " ms after its end:" << pids;
    if (!display) {
        return;
    }
    const std::optional<double> windowsGone =
        pollUntil([&] { return windowsOf(display.get(), endedPid).empty(); }, kEndLimit);
    EXPECT_TRUE(windowsGone) << "the program's windows are still on the server " << kEndLimit.count()
                             << " ms after its end:\n"
                             << describeWindows(display.get());
    if (clientsBefore) {
        std::optional<int> clients;
        const std::optional<double> clientsGone = pollUntil(
            [&] {
                clients = countClients(display.get());
                return clients == clientsBefore;
            },
            kEndLimit);
        EXPECT_TRUE(clientsGone) << "the server has " << (clients ? std::to_string(*clients) : "?")
                                 << " clients " << kEndLimit.count() << " ms after the program's end, "
                                 << *clientsBefore << " before it started";
    }
}

bool DisctrailTest::showsPicture(const ProgramWindow& shown) {
    if (!host) {
        return showsDrawing(display.get(), shown);
    }
    // Under weston what shows is on its output, read back from the host, where X and
    // weston's output share their coordinates. A window is shown when something is drawn
    // on it; full screen, when it also covers weston's panel and background.
    const Rect area{kWestonOutput.left + shown.x, kWestonOutput.top + shown.y, shown.width, shown.height};
    if (shown.width < kWestonOutput.width || shown.height < kWestonOutput.height) {
        const Screenshot picture = takeScreenshotOf(host.get(), area);
        return std::any_of(picture.pixels.begin(), picture.pixels.end(), [](const Rgb& pixel) { return !pixel.isBlack(); });
    }
    return westonShowsFullScreenPicture(host.get());
}

std::string DisctrailTest::programErrors() const { return readFile(program.stderrPath); }

void DisctrailTest::note(const std::string& text) const {
    std::cout << "[ measured ] " << text << std::endl;
}

void DisctrailTest::keepScreenshotIfFailed(const Screenshot& picture, const std::string& stem) const {
    if (HasFailure()) {
        const std::string path = std::filesystem::absolute(stem + ".ppm").string();
        writePpm(picture, path);
        std::cerr << "screenshot kept in " << path << "\n";
    }
}
