// What a person sees: the 640x480 picture on black, at the largest whole scale that
// fits the screen and centred, in the 64 levels per channel of a 6-bit palette; and,
// after Alt+Enter, a 640x480 window titled "disctrail".
#include <X11/keysym.h>

#include <algorithm>
#include <sstream>
#include <thread>

#include "program_fixture.h"

namespace {

// Long enough for the trail to hold many discs.
constexpr std::chrono::milliseconds kRunBeforeScreenshot = 1000ms;
// How long a newly shown window may take to paint all of itself.
constexpr std::chrono::milliseconds kSettleLimit = 1000ms;

struct WallpaperWait {
    bool reached = false;
    long pixels = 0; // wallpaper pixels in the last screenshot
    double seconds = 0;
};

// Takes screenshots until at most `most` wallpaper pixels show, or `limit` runs out.
WallpaperWait waitForWallpaper(Display* display, long most, std::chrono::milliseconds limit) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    WallpaperWait wait;
    for (;;) {
        wait.pixels = countOutside(takeScreenshot(display), {0, 0, 0, 0}, kWallpaper);
        wait.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        wait.reached = wait.pixels <= most;
        if (wait.reached || Clock::now() - start >= limit) {
            return wait;
        }
        std::this_thread::sleep_for(20ms);
    }
}

struct ScreenLayout {
    const char* name;
    int screenWidth;
    int screenHeight;
    Rect picture; // where the 640x480 picture appears
    int scale;    // screen pixels per picture pixel, along each axis
    Desktop desktop;
};

void PrintTo(const ScreenLayout& layout, std::ostream* out) { *out << layout.name; }

class FullScreenPictureTest : public DisctrailTest, public testing::WithParamInterface<ScreenLayout> {};

TEST_P(FullScreenPictureTest, ShowsTheTrailOnBlackInSixBitColours) {
    const ScreenLayout& layout = GetParam();
    ASSERT_NO_FATAL_FAILURE(startOnXvfb(layout.screenWidth, layout.screenHeight, layout.desktop));
    std::this_thread::sleep_for(kRunBeforeScreenshot);
    expectStillRunning("a second of running");
    const Screenshot picture = takeScreenshot(display.get());
    const Rect& inside = layout.picture;

    const PixelCounts counts = countPixels(picture, inside);
    // Full screen covers the wallpaper: around the picture there is black only.
    const long wallpaper = countOutside(picture, {0, 0, 0, 0}, kWallpaper);
    EXPECT_EQ(counts.nonBlackOutside, 0) << "outside the picture at " << describe(inside) << ", e.g. "
                                         << describe(picture.at(std::max(counts.firstOutsideX, 0),
                                                                std::max(counts.firstOutsideY, 0)))
                                         << " at (" << counts.firstOutsideX << "," << counts.firstOutsideY << "); "
                                         << wallpaper << " pixels of wallpaper show";
    EXPECT_GE(counts.nonBlackInside, 1000L * layout.scale * layout.scale) << "non-black pixels in the picture";
    EXPECT_EQ(counts.undisplayable, 0) << "pixels with a channel outside the 64 levels, e.g. "
                                       << describe(counts.firstUndisplayable) << " at ("
                                       << counts.firstUndisplayableX << "," << counts.firstUndisplayableY << ")";

    // The disc bounces before it reaches a corner, so each corner keeps the background.
    const int patch = 2 * layout.scale;
    const int right = inside.left + inside.width - patch;
    const int bottom = inside.top + inside.height - patch;
    for (const auto& [left, top] : {std::pair{inside.left, inside.top}, std::pair{right, inside.top},
                                    std::pair{inside.left, bottom}, std::pair{right, bottom}}) {
        EXPECT_EQ(nonBlackInPatch(picture, left, top, patch), 0) << "corner patch at (" << left << "," << top << ")";
    }
    const Commonest commonest = commonestColour(picture);
    EXPECT_TRUE(commonest.colour.isBlack()) << "the commonest colour is " << describe(commonest.colour);

    // Index 0 and 255 palette entries: no more colours than that.
    const std::size_t colours = distinctColours(picture);
    EXPECT_LE(colours, 256u) << "different colours on the screen";

    const BlockCounts blocks = countMixedBlocks(picture, inside, layout.scale);
    EXPECT_EQ(blocks.mixed, 0) << "of " << blocks.blocks << " blocks of " << layout.scale << "x" << layout.scale
                               << " screen pixels, " << blocks.mixed << " are not one colour ("
                               << blocks.mixedNonBlackOnly << " of them without black), the first at ("
                               << blocks.firstMixedX << "," << blocks.firstMixedY << ")";

    std::ostringstream measured;
    measured << layout.name << ": window " << window.width << "x" << window.height << " at (" << window.x << ","
             << window.y << ") drawn after " << secondsToWindow << " s; " << counts.nonBlackInside
             << " non-black pixels inside, " << counts.nonBlackOutside << " outside, " << counts.blackInside
             << " black inside; " << colours << " colours; " << counts.undisplayable << " off-level pixels; "
             << blocks.mixed << " of " << blocks.blocks << " blocks mixed";
    note(measured.str());
    keepScreenshotIfFailed(picture, std::string("e2e-") + layout.name);
}

INSTANTIATE_TEST_SUITE_P(
    Screens, FullScreenPictureTest,
    testing::Values(ScreenLayout{"Screen640x480", 640, 480, {0, 0, 640, 480}, 1, Desktop::Bare},
                    ScreenLayout{"Screen1024x768", 1024, 768, {192, 144, 640, 480}, 1, Desktop::Bare},
                    ScreenLayout{"Screen1920x1080", 1920, 1080, {320, 60, 1280, 960}, 2, Desktop::Bare},
                    ScreenLayout{"Screen640x480Openbox", 640, 480, {0, 0, 640, 480}, 1, Desktop::Openbox},
                    ScreenLayout{"Screen1024x768Openbox", 1024, 768, {192, 144, 640, 480}, 1, Desktop::Openbox},
                    ScreenLayout{"Screen1920x1080Openbox", 1920, 1080, {320, 60, 1280, 960}, 2, Desktop::Openbox}),
    [](const testing::TestParamInfo<ScreenLayout>& info) { return std::string(info.param.name); });

class WindowTest : public DisctrailTest, public testing::WithParamInterface<Desktop> {};

TEST_P(WindowTest, AltEnterShowsA640x480WindowTitledDisctrail) {
    ASSERT_NO_FATAL_FAILURE(startOnXvfb(1024, 768, GetParam()));
    const ProgramWindow fullScreen = window;
    // Full screen hides the wallpaper, once the program has painted its whole window.
    const WallpaperWait covered = waitForWallpaper(display.get(), 0, kSettleLimit);
    EXPECT_TRUE(covered.reached) << covered.pixels << " wallpaper pixels still show in full screen after "
                                 << covered.seconds << " s";

    typeChord(display.get(), {XK_Alt_L, XK_Return});

    ASSERT_NO_FATAL_FAILURE(waitForWindow(
        [](const ProgramWindow& found) { return found.width == 640 && found.height == 480; }, "640x480",
        kEndLimit));
    EXPECT_EQ(window.title, "disctrail");

    // A window, no longer full screen: the wallpaper shows all around it, and inside it
    // the animation goes on.
    std::this_thread::sleep_for(500ms);
    const Rect area{window.x, window.y, window.width, window.height};
    ASSERT_TRUE(area.left >= 0 && area.top >= 0 && area.left + area.width <= 1024 && area.top + area.height <= 768)
        << "the window at " << describe(area) << " is not wholly on the screen";
    const Screenshot after = takeScreenshot(display.get());
    const long wallpaper = countOutside(after, area, kWallpaper);
    const long around = 1024L * 768 - 640L * 480;
    // A window manager's frame covers some of it.
    EXPECT_GE(wallpaper, around * 8 / 10) << "pixels of wallpaper among the " << around << " around the window at "
                                          << describe(area);
    const Screenshot picture = takeScreenshotOf(display.get(), area);
    const PixelCounts counts = countPixels(picture, {0, 0, area.width, area.height});
    EXPECT_GE(counts.nonBlackInside, 1000) << "non-black pixels in the window";
    EXPECT_EQ(counts.undisplayable, 0) << "pixels with a channel outside the 64 levels, e.g. "
                                       << describe(counts.firstUndisplayable);

    typeChord(display.get(), {XK_a});
    const ExitResult result = waitForProgramExit();
    ASSERT_TRUE(result.finished);
    EXPECT_TRUE(result.exited && result.status == 0) << result.describe();

    std::ostringstream measured;
    measured << "full screen window " << fullScreen.width << "x" << fullScreen.height << " at (" << fullScreen.x
             << "," << fullScreen.y << "); after Alt+Enter '" << window.title << "' " << describe(area)
             << " within " << secondsToWindow << " s, " << counts.nonBlackInside << " non-black pixels inside, "
             << wallpaper << " wallpaper pixels around; then a: "
             << result.describe() << "; in full screen " << covered.pixels << " wallpaper pixels showed "
             << covered.seconds << " s after the first picture";
    note(measured.str());
    keepScreenshotIfFailed(after, "e2e-window-" + describe(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Desktops, WindowTest, testing::Values(Desktop::Bare, Desktop::Openbox),
                         [](const testing::TestParamInfo<Desktop>& info) { return describe(info.param); });

} // namespace
