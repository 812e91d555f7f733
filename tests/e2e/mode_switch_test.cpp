// On a real X server that can change video modes, full screen means the monitor shows
// 640x480: the program switches to that mode, back to the desktop's for a window, and
// leaves the desktop's mode behind when it ends.
#include <X11/keysym.h>
#include <unistd.h>

#include <sstream>
#include <thread>

#include "program_fixture.h"

namespace {

constexpr Size kDesktopMode{1024, 768};
constexpr Size kProgramMode{640, 480};
constexpr std::chrono::milliseconds kModeLimit = 3000ms;

std::string describe(const std::optional<Size>& size) {
    return size ? std::to_string(size->width) + "x" + std::to_string(size->height) : std::string("no mode");
}

class ModeSwitchTest : public DisctrailTest {
protected:
    // Polls the monitor's mode until it is `expected`; fails naming `when` otherwise.
    void expectMonitorMode(const Size& expected, const std::string& when) {
        using Clock = std::chrono::steady_clock;
        const Clock::time_point start = Clock::now();
        std::optional<Size> seen = monitorMode(display.get());
        while (seen != expected && Clock::now() - start < kModeLimit) {
            std::this_thread::sleep_for(20ms);
            seen = monitorMode(display.get());
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const Size screen = screenSize(display.get());
        EXPECT_EQ(describe(seen), describe(expected)) << when;
        note(when + ": monitor " + describe(seen) + " after " + std::to_string(seconds) + " s, screen " +
             describe(std::optional<Size>(screen)));
    }
};

TEST_F(ModeSwitchTest, MonitorShows640x480InFullScreenOnly) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "Xorg on the dummy driver needs root here: its wrapper refuses other users "
                        "outside a console";
    }
    server = startXorgDummy();
    display = connectTo(server.displayName());
    ASSERT_TRUE(display) << "cannot connect to Xorg on " << server.displayName();
    ASSERT_EQ(describe(monitorMode(display.get())), describe(kDesktopMode)) << "the desktop's mode before the program";

    ASSERT_NO_FATAL_FAILURE(startProgramAndWaitForWindow());
    expectMonitorMode(kProgramMode, "full screen");

    typeChord(display.get(), {XK_Alt_L, XK_Return});
    expectMonitorMode(kDesktopMode, "after Alt+Enter to a window");
    ASSERT_NO_FATAL_FAILURE(waitForWindow(
        [](const ProgramWindow& found) { return found.width == 640 && found.height == 480; }, "a 640x480 window",
        kEndLimit));

    typeChord(display.get(), {XK_Alt_L, XK_Return});
    expectMonitorMode(kProgramMode, "after Alt+Enter back to full screen");
    ASSERT_NO_FATAL_FAILURE(waitForWindow([](const ProgramWindow&) { return true; }, "shown", kEndLimit));

    typeChord(display.get(), {XK_a});
    const ExitResult result = waitForProgramExit();
    ASSERT_TRUE(result.finished);
    EXPECT_TRUE(result.exited && result.status == 0) << result.describe() << "; standard error:\n"
                                                     << programErrors();
    expectMonitorMode(kDesktopMode, "after the program ended");
}

} // namespace
