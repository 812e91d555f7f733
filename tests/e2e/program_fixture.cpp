#include "program_fixture.h"

#include <filesystem>
#include <iostream>

RunningProgram startDisctrail(const std::optional<std::string>& displayName) {
    Launch launch;
    launch.arguments = {DISCTRAIL_PATH};
    launch.environment = environmentWithoutDisplay();
    if (displayName) {
        launch.environment.push_back("DISPLAY=" + *displayName);
    }
    launch.stdoutPath = makeTemporaryFile("disctrail-stdout");
    launch.stderrPath = makeTemporaryFile("disctrail-stderr");

    RunningProgram program;
    program.stdoutPath = launch.stdoutPath;
    program.stderrPath = launch.stderrPath;
    program.pid = startProcess(launch);
    return program;
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
    stopWindowManager(windowManager);
    stopXServer(server);
}

void DisctrailTest::startOnXvfb(int width, int height, Desktop desktop) {
    server = startXvfb(width, height);
    if (desktop == Desktop::Openbox) {
        windowManager = startOpenbox(server);
    }
    ASSERT_NO_FATAL_FAILURE(startProgramAndWaitForWindow());
}

void DisctrailTest::startProgramAndWaitForWindow() {
    display = connectTo(server.displayName());
    ASSERT_TRUE(display) << "cannot connect to " << server.displayName();
    paintWallpaper(display.get());
    program = startDisctrail(server.displayName());
    ASSERT_NO_FATAL_FAILURE(waitForWindow([](const ProgramWindow&) { return true; }, "shown"));
}

void DisctrailTest::waitForWindow(const std::function<bool(const ProgramWindow&)>& accept,
                                  const std::string& what, std::chrono::milliseconds limit) {
    ASSERT_GT(program.pid, 0) << "the program had already ended";
    // Ready when a person would start typing: the window is up and the animation shows.
    const WindowWait wait = waitForProgramWindow(display.get(), program.pid, limit, [&](const ProgramWindow& found) {
        return found.viewable && accept(found) && showsDrawing(display.get(), found);
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
    focusWindow(display.get(), window);
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
