// The program under a storm of input: ten thousand keys as fast as XTest sends them, and
// Alt+Enter fifty times with the focus going elsewhere and back between. Its memory
// stays bounded, it ends on a key with status 0, and its picture comes out right.

// gtest first: X's None macro would break its headers.
#include "program_fixture.h"

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <sstream>
#include <thread>

namespace {

// ---------------------------------------------------------------------------------
// Ten thousand keys in a burst.

constexpr int kBurstKeys = 10000;
// What the window system holds for a burst: Xlib reads every event the server has sent
// into its own queue before SDL sees one, and keeps that memory for the next burst; how
// many wait at once depends on scheduling (about 200 bytes an event, some 7 MB at most
// here). The program's own key queue is bounded at 64 keys. So a burst may cost up to
// this much, and two bursts in all no more: the second finds the memory again.
constexpr long kBurstBudgetKb = 10 * 1024;

// Sanitizers hold freed memory back and shadow the rest, so their figures say nothing
// about the program's; there the bursts are sent and the figures only reported.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kMemoryMeasurable = false;
#else
constexpr bool kMemoryMeasurable = true;
#endif

struct Burst {
    const char* name;
    std::vector<KeySym> keys; // pressed and released in turn, round and round
    bool endsRun;             // the first of them ends the run
};

void PrintTo(const Burst& burst, std::ostream* out) { *out << burst.name; }

// Presses and releases `count` keys taken in turn from `keys`, with no wait between
// them, and waits until the server has handled every one.
void sendBurst(Display* display, const std::vector<KeySym>& keys, int count) {
    std::vector<KeyCode> codes;
    for (KeySym key : keys) {
        codes.push_back(XKeysymToKeycode(display, key));
    }
    for (int i = 0; i < count; ++i) {
        const KeyCode code = codes[static_cast<std::size_t>(i) % codes.size()];
        XTestFakeKeyEvent(display, code, True, CurrentTime);
        XTestFakeKeyEvent(display, code, False, CurrentTime);
    }
    XSync(display, False);
}

class KeyBurstTest : public DisctrailTest, public testing::WithParamInterface<Burst> {};

TEST_P(KeyBurstTest, EndsWithStatusZeroAndKeepsItsMemory) {
    const Burst& burst = GetParam();
    ASSERT_NO_FATAL_FAILURE(startOnXvfb(640, 480));
    // Past start-up, which still allocates.
    std::this_thread::sleep_for(500ms);
    const std::optional<MemoryUse> before = memoryUse(program.pid);
    ASSERT_TRUE(before) << "no memory figures for the program";

    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    sendBurst(display.get(), burst.keys, kBurstKeys);
    const double sending = std::chrono::duration<double>(Clock::now() - start).count();

    std::optional<MemoryUse> afterFirst;
    std::optional<MemoryUse> afterSecond;
    if (!burst.endsRun) {
        // Time to read every one of them, then the figures while it still runs; then the
        // same again.
        std::this_thread::sleep_for(1500ms);
        expectStillRunning(std::to_string(kBurstKeys) + " " + burst.name);
        ASSERT_FALSE(HasFailure());
        afterFirst = memoryUse(program.pid);
        sendBurst(display.get(), burst.keys, kBurstKeys);
        std::this_thread::sleep_for(1500ms);
        expectStillRunning(std::to_string(2 * kBurstKeys) + " " + burst.name);
        ASSERT_FALSE(HasFailure());
        afterSecond = memoryUse(program.pid);
        ASSERT_TRUE(afterFirst && afterSecond) << "no memory figures for the program";
        if (kMemoryMeasurable) {
            EXPECT_LT(afterSecond->peakKb - before->peakKb, kBurstBudgetKb)
                << "peak resident kB before " << before->peakKb << ", after one burst " << afterFirst->peakKb
                << ", after two " << afterSecond->peakKb;
        }
        typeChord(display.get(), {XK_a});
    }

    const ExitResult result = waitForProgramExit();
    ASSERT_TRUE(result.finished);
    EXPECT_TRUE(result.exited && result.status == 0) << result.describe() << "; standard error:\n"
                                                     << programErrors();
    // The kernel's count of the most the program held resident, up to its end: it may
    // miss a short peak, never make one up.
    if (kMemoryMeasurable) {
        EXPECT_LT(result.peakResidentKb - before->peakKb, kBurstBudgetKb)
            << "peak resident kB before the burst " << before->peakKb << ", over the whole run "
            << result.peakResidentKb;
    }

    std::ostringstream measured;
    measured << burst.name << ": " << kBurstKeys << " presses and releases sent in " << sending
             << " s; before: VmHWM " << before->peakKb << " kB";
    if (afterFirst && afterSecond) {
        measured << "; after one burst: VmHWM " << afterFirst->peakKb << " kB (+" << afterFirst->peakKb - before->peakKb
                 << "), after a second: " << afterSecond->peakKb << " kB (+" << afterSecond->peakKb - afterFirst->peakKb
                 << ")";
    }
    measured << "; peak over the whole run " << result.peakResidentKb << " kB (+"
             << result.peakResidentKb - before->peakKb << " kB); " << result.describe() << " after the last burst";
    note(measured.str());
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyBurstTest,
    testing::Values(Burst{"Letters", {XK_a, XK_b, XK_c, XK_d, XK_e, XK_f, XK_g, XK_h, XK_i, XK_j, XK_k, XK_l,
                                      XK_m, XK_n, XK_o, XK_p, XK_q, XK_r, XK_s, XK_t, XK_u, XK_v, XK_w, XK_x,
                                      XK_y, XK_z},
                          true},
                    // Keys that end nothing go through the same queue of window-system events.
                    Burst{"ShiftAlone", {XK_Shift_L}, false}),
    [](const testing::TestParamInfo<Burst>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------
// Alt+Enter fifty times, the focus elsewhere and back between.

constexpr int kToggles = 50;
constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;

bool isFullScreen(const ProgramWindow& found) {
    return found.x == 0 && found.y == 0 && found.width == kScreenWidth && found.height == kScreenHeight;
}
bool isPictureWindow(const ProgramWindow& found) { return found.width == 640 && found.height == 480; }

// Activates the program's window until it shows in the wanted state, for up to 2 s.
// SDL minimises a full-screen window that loses the focus under a window manager, and
// may do so even after the focus has come back: each time the window is found hidden
// it is activated again, as a person clicks on its taskbar entry again. Returns the
// number of times it was found hidden.
int bringBack(Display* display, pid_t pid, Window window, bool (*wanted)(const ProgramWindow&)) {
    using Clock = std::chrono::steady_clock;
    int hidden = 0;
    bool wasViewable = true;
    Clock::time_point activated{};
    const Clock::time_point deadline = Clock::now() + 2000ms;
    while (Clock::now() < deadline) {
        XWindowAttributes attributes;
        const bool viewable =
            XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
        hidden += wasViewable && !viewable ? 1 : 0;
        // Once, and again while it stays hidden: a window manager takes a moment to map it.
        if (activated == Clock::time_point{} || (wasViewable && !viewable) ||
            (!viewable && Clock::now() - activated > 300ms)) {
            activateWindow(display, window);
            activated = Clock::now();
        }
        wasViewable = viewable;
        const std::optional<ProgramWindow> found = findProgramWindow(display, pid);
        if (found && wanted(*found) && showsDrawing(display, *found)) {
            break;
        }
        std::this_thread::sleep_for(20ms);
    }
    return hidden;
}

class ToggleChurnTest : public DisctrailTest, public testing::WithParamInterface<Desktop> {};

TEST_P(ToggleChurnTest, FiftyTogglesWithFocusChangesLeaveARightPicture) {
    ASSERT_NO_FATAL_FAILURE(startOnXvfb(kScreenWidth, kScreenHeight, GetParam()));
    const Window other = openOtherWindow(display.get(), 0, 0);
    ASSERT_NE(other, 0u) << "the test's own window never became viewable";

    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    bool fullScreen = true;
    int minimised = 0;
    for (int toggle = 0; toggle <= kToggles; ++toggle) {
        // Back to the program, as a person clicks on it or on its taskbar entry; before
        // the first toggle too, as the window manager gives the test's own new window the
        // focus. A window manager may have minimised the program while full screen and
        // away: it comes back as it was.
        minimised +=
            bringBack(display.get(), program.pid, window.id, fullScreen ? isFullScreen : isPictureWindow);
        ASSERT_NO_FATAL_FAILURE(waitForWindow(fullScreen ? isFullScreen : isPictureWindow,
                                              std::string(fullScreen ? "full screen" : "a 640x480 window") +
                                                  " again before Alt+Enter number " + std::to_string(toggle + 1),
                                              kEndLimit));
        if (toggle == kToggles) {
            break;
        }
        typeChord(display.get(), {XK_Alt_L, XK_Return});
        fullScreen = !fullScreen;
        ASSERT_NO_FATAL_FAILURE(waitForWindow(fullScreen ? isFullScreen : isPictureWindow,
                                              std::string(fullScreen ? "full screen" : "a 640x480 window") +
                                                  " after Alt+Enter number " + std::to_string(toggle + 1),
                                              kEndLimit));
        // Away: to the desktop, or to another program's window.
        if (toggle % 4 < 2) {
            focusRootWindow(display.get());
        } else {
            XSetInputFocus(display.get(), other, RevertToPointerRoot, CurrentTime);
            XSync(display.get(), False);
        }
        // Mostly a glance away; now and then long enough for a window manager to minimise
        // the full-screen program.
        std::this_thread::sleep_for(toggle % 10 == 9 ? 500ms : 20ms);
    }
    const double toggling = std::chrono::duration<double>(Clock::now() - start).count();
    XDestroyWindow(display.get(), other);
    XSync(display.get(), False);
    std::this_thread::sleep_for(500ms);
    expectStillRunning(std::to_string(kToggles) + " Alt+Enter");
    ASSERT_FALSE(HasFailure());

    // An even number of toggles: full screen again, the picture centred at scale 1.
    ASSERT_NO_FATAL_FAILURE(waitForWindow(isFullScreen, "full screen at the end", kEndLimit));
    const Rect inside{(kScreenWidth - 640) / 2, (kScreenHeight - 480) / 2, 640, 480};
    const Screenshot picture = takeScreenshot(display.get());
    std::this_thread::sleep_for(200ms);
    const Screenshot later = takeScreenshot(display.get());
    const PixelCounts counts = countPixels(picture, inside);
    EXPECT_EQ(counts.nonBlackOutside, 0) << "non-black pixels outside the picture at " << describe(inside)
                                         << ", the first at (" << counts.firstOutsideX << ","
                                         << counts.firstOutsideY << ")";
    EXPECT_EQ(countOutside(picture, {0, 0, 0, 0}, kWallpaper), 0) << "wallpaper pixels in full screen";
    EXPECT_GE(counts.nonBlackInside, 1000) << "non-black pixels in the picture";
    EXPECT_EQ(counts.undisplayable, 0) << "pixels with a channel outside the 64 levels, e.g. "
                                       << describe(counts.firstUndisplayable) << " at ("
                                       << counts.firstUndisplayableX << "," << counts.firstUndisplayableY << ")";
    EXPECT_TRUE(commonestColour(picture).colour.isBlack()) << "the background is not black";
    // The palette turns every frame: a picture that stands still is one no longer refreshed.
    EXPECT_NE(picture.pixels, later.pixels) << "the picture stands still 200 ms later";

    typeChord(display.get(), {XK_a});
    const ExitResult result = waitForProgramExit();
    ASSERT_TRUE(result.finished);
    EXPECT_TRUE(result.exited && result.status == 0) << result.describe() << "; standard error:\n"
                                                     << programErrors();
    std::ostringstream measured;
    measured << describe(GetParam()) << ": " << kToggles << " toggles with focus changes in " << toggling
             << " s, minimised " << minimised << " times while away; then " << counts.nonBlackInside
             << " non-black pixels in the picture, " << counts.nonBlackOutside << " outside, "
             << counts.undisplayable << " off-level; then a: " << result.describe();
    note(measured.str());
    keepScreenshotIfFailed(picture, "e2e-toggles-" + describe(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Desktops, ToggleChurnTest, testing::Values(Desktop::Bare, Desktop::Openbox),
                         [](const testing::TestParamInfo<Desktop>& info) { return describe(info.param); });

} // namespace
