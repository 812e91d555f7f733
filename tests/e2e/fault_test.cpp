// When things go wrong around the program: the X server dies under it, the screen
// refuses full screen, or the program itself is killed in full screen. It ends, or goes
// on in a window, and never leaves the desktop in its 640x480 mode.
#include <X11/keysym.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "program_fixture.h"

namespace {

constexpr Size kDesktopMode{1024, 768};
constexpr Size kProgramMode{640, 480};

// ---------------------------------------------------------------------------------
// The X server dies mid-run.

struct LostServer {
    const char* name;
    int signal;            // what the server is killed with
    Desktop desktop;
    bool windowed;         // Alt+Enter to the 640x480 window first
};

void PrintTo(const LostServer& loss, std::ostream* out) { *out << loss.name; }

class LostDisplayTest : public DisctrailTest, public testing::WithParamInterface<LostServer> {};

TEST_P(LostDisplayTest, EndsWithinTwoSecondsWithOneLineAndStatusOne) {
    const LostServer& loss = GetParam();
    ASSERT_NO_FATAL_FAILURE(startOnXvfb(1024, 768, loss.desktop));
    if (loss.windowed) {
        typeChord(display.get(), {XK_Alt_L, XK_Return});
        ASSERT_NO_FATAL_FAILURE(waitForWindow(
            [](const ProgramWindow& found) { return found.width == 640 && found.height == 480; }, "640x480",
            kEndLimit));
    }
    std::this_thread::sleep_for(300ms);
    expectStillRunning("a moment of animation");
    ASSERT_FALSE(HasFailure());

    // The test's own connection goes first: Xlib's default handler of a lost server
    // would end the test process.
    display.reset();
    ASSERT_EQ(kill(server.pid, loss.signal), 0);
    const ExitResult result = waitForProgramExit(kEndLimit);
    const ExitResult serverEnd = waitForExit(server.pid, 5000ms);
    if (serverEnd.finished) {
        server.pid = -1;
    }

    ASSERT_TRUE(result.finished);
    EXPECT_TRUE(result.exited && result.status == 1) << result.describe();
    const std::string errors = programErrors();
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << "standard error:\n" << errors;
    EXPECT_TRUE(errors.starts_with("disctrail: lost the display: ")) << "standard error:\n" << errors;
    EXPECT_TRUE(!errors.empty() && errors.back() == '\n') << "standard error:\n" << errors;
    // No server is left to hold windows or clients: only processes can stay behind.
    expectNothingLeftBehind(-1, std::nullopt);
    note(std::string(loss.name) + ": the program " + result.describe() + " after the signal to the server; " +
         "standard error: " + errors.substr(0, errors.find('\n')));
}

INSTANTIATE_TEST_SUITE_P(
    Servers, LostDisplayTest,
    testing::Values(LostServer{"XvfbKilled", SIGKILL, Desktop::Bare, false},
                    LostServer{"XvfbTerminated", SIGTERM, Desktop::Bare, false},
                    LostServer{"XvfbKilledWhileWindowed", SIGKILL, Desktop::Bare, true},
                    LostServer{"XvfbKilledUnderOpenbox", SIGKILL, Desktop::Openbox, false}),
    [](const testing::TestParamInfo<LostServer>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------
// The screen refuses full screen: a centred 640x480 window instead.

// Whether two screenshots of the same area differ anywhere: the palette turns every
// frame, so a running animation never shows the same picture 200 ms apart.
bool differ(const Screenshot& first, const Screenshot& second) { return first.pixels != second.pixels; }

// A file removed when the test ends, however it ends.
struct RemovedAtEnd {
    std::string path;
    ~RemovedAtEnd() { std::remove(path.c_str()); }
};

class RefusedFullScreenTest : public DisctrailTest, public testing::WithParamInterface<Desktop> {};

TEST_P(RefusedFullScreenTest, ShowsACentredWindowTitledDisctrailInstead) {
    server = startXvfb(1024, 768);
    if (GetParam() == Desktop::Openbox) {
        windowManager = startOpenbox(server);
    }
    display = connectTo(server.displayName());
    ASSERT_TRUE(display) << "cannot connect to " << server.displayName();
    paintWallpaper(display.get());
    const RemovedAtEnd refusalLog{makeTemporaryFile("disctrail-refusals")};
    const std::string& refusals = refusalLog.path;
    std::vector<std::string> environment = sanitizerEnvironment({.preload = true});
    environment.insert(environment.end(), {std::string("LD_PRELOAD=") + REFUSE_FULLSCREEN_PATH,
                                           "REFUSE_FULLSCREEN_LOG=" + refusals});
    program = startDisctrail(server.displayName(), environment);
    ASSERT_NO_FATAL_FAILURE(waitForWindow(
        [](const ProgramWindow& found) { return found.width == 640 && found.height == 480; }, "a 640x480 window"));
    const double shownAfter = secondsToWindow;
    const std::string refused = readFile(refusals);
    EXPECT_NE(refused.find("SDL_CreateWindow"), std::string::npos)
        << "the program never asked SDL for a full-screen window; refusals: " << refused;
    EXPECT_EQ(window.title, "disctrail");

    // Centred: a window manager's frame may push the window down and right by its
    // border and title bar, no more.
    const int offsetX = window.x - (1024 - 640) / 2;
    const int offsetY = window.y - (768 - 480) / 2;
    const int slack = GetParam() == Desktop::Openbox ? 32 : 0;
    EXPECT_TRUE(offsetX >= 0 && offsetX <= slack && offsetY >= 0 && offsetY <= slack)
        << "the window is at (" << window.x << "," << window.y << "), the centred place is (192,144)";

    std::this_thread::sleep_for(300ms);
    const Rect area{window.x, window.y, window.width, window.height};
    const Screenshot screen = takeScreenshot(display.get());
    const long around = 1024L * 768 - 640L * 480;
    const long wallpaper = countOutside(screen, area, kWallpaper);
    EXPECT_GE(wallpaper, around * 8 / 10) << "pixels of wallpaper among the " << around
                                          << " around the window: it is no window but full screen";
    const Screenshot first = takeScreenshotOf(display.get(), area);
    std::this_thread::sleep_for(200ms);
    const Screenshot second = takeScreenshotOf(display.get(), area);
    const PixelCounts counts = countPixels(second, {0, 0, area.width, area.height});
    EXPECT_GE(counts.nonBlackInside, 1000) << "non-black pixels in the window";
    EXPECT_EQ(counts.undisplayable, 0) << "pixels with a channel outside the 64 levels, e.g. "
                                       << describe(counts.firstUndisplayable);
    EXPECT_TRUE(differ(first, second)) << "the window shows the same picture 200 ms later: no animation";

    // Alt+Enter asks for full screen again, is refused again, and the window stays.
    typeChord(display.get(), {XK_Alt_L, XK_Return});
    std::this_thread::sleep_for(500ms);
    const std::string refusedLater = readFile(refusals);
    EXPECT_NE(refusedLater.find("SDL_SetWindowFullscreen"), std::string::npos)
        << "Alt+Enter did not ask SDL for full screen; refusals: " << refusedLater;
    expectStillRunning("Alt+Enter with full screen refused");
    ASSERT_FALSE(HasFailure());
    ASSERT_NO_FATAL_FAILURE(waitForWindow(
        [&](const ProgramWindow& found) { return found.width == 640 && found.height == 480; },
        "still a 640x480 window after Alt+Enter", kEndLimit));

    typeChord(display.get(), {XK_a});
    const ExitResult result = waitForProgramExit();
    ASSERT_TRUE(result.finished);
    EXPECT_TRUE(result.exited && result.status == 0) << result.describe() << "; standard error:\n"
                                                     << programErrors();
    std::ostringstream measured;
    measured << describe(GetParam()) << ": '" << window.title << "' " << describe(area) << " within "
             << shownAfter << " s of the start; " << std::count(refused.begin(), refused.end(), '\n')
             << " full-screen request(s) refused before it; " << wallpaper << " wallpaper pixels around; "
             << counts.nonBlackInside << " non-black inside; then a: " << result.describe();
    note(measured.str());
    keepScreenshotIfFailed(screen, "e2e-refused-" + describe(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Desktops, RefusedFullScreenTest, testing::Values(Desktop::Bare, Desktop::Openbox),
                         [](const testing::TestParamInfo<Desktop>& info) { return describe(info.param); });

// ---------------------------------------------------------------------------------
// A crash never leaves the desktop at 640x480.

struct Crash {
    const char* name;
    int signal;
};

void PrintTo(const Crash& crash, std::ostream* out) { *out << crash.name; }

class CrashTest : public DisctrailTest, public testing::WithParamInterface<Crash> {};

TEST_P(CrashTest, GivesTheDesktopItsModeBackWithinTwoSeconds) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "Xorg on the dummy driver needs root here: its wrapper refuses other users "
                        "outside a console";
    }
    const Crash& crash = GetParam();
    server = startXorgDummy();
    display = connectTo(server.displayName());
    ASSERT_TRUE(display) << "cannot connect to Xorg on " << server.displayName();
    ASSERT_EQ(describeMode(monitorMode(display.get())), describeMode(kDesktopMode)) << "before the program";
    const std::optional<int> clientsBefore = countClients(display.get());
    // The signals are the kernel's to deliver, as in the program as shipped.
    programEnvironment = sanitizerEnvironment({.kernelSignals = true});
    ASSERT_NO_FATAL_FAILURE(startProgramAndWaitForWindow());
    const ModeWait fullScreen = waitForMonitorMode(display.get(), kProgramMode, kEndLimit);
    ASSERT_TRUE(fullScreen.reached) << "full screen shows " << describeMode(fullScreen.seen);
    std::this_thread::sleep_for(200ms);

    const pid_t pid = program.pid;
    ASSERT_EQ(kill(pid, crash.signal), 0);
    const ModeWait restored = waitForMonitorMode(display.get(), kDesktopMode, kEndLimit);
    const ExitResult result = waitForProgramExit(kEndLimit);

    EXPECT_TRUE(restored.reached) << "the monitor still shows " << describeMode(restored.seen) << " "
                                  << kEndLimit.count() << " ms after " << crash.name;
    EXPECT_EQ(describeMode(screenSize(display.get())), describeMode(kDesktopMode)) << "the screen's size";
    ASSERT_TRUE(result.finished);
    EXPECT_TRUE(!result.exited && result.signal == crash.signal)
        << "the program " << result.outcome() << ", not killed by " << crash.name;
    expectNothingLeftBehind(pid, clientsBefore);
    note(std::string(crash.name) + ": monitor " + describeMode(restored.seen) + " " +
         std::to_string(restored.seconds) + " s after the signal; the program " + result.describe());
}

INSTANTIATE_TEST_SUITE_P(Signals, CrashTest,
                         testing::Values(Crash{"SIGSEGV", SIGSEGV}, Crash{"SIGBUS", SIGBUS}, Crash{"SIGILL", SIGILL},
                                         Crash{"SIGFPE", SIGFPE}, Crash{"SIGABRT", SIGABRT},
                                         Crash{"SIGKILL", SIGKILL}),
                         [](const testing::TestParamInfo<Crash>& info) { return std::string(info.param.name); });

} // namespace
