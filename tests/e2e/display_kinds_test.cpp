// The picture on every kind of display people run: X at 8, 16, 24 and 30 bits, Xwayland and
// native Wayland under weston. On each it shows, in the palette's own colours where the
// screen holds them exactly, Alt+Enter switches between full screen and a window, and a
// key or a request to close the window ends the run with status 0, with nothing said.
#include <X11/keysym.h>

#include <algorithm>

#include "program_fixture.h"

namespace {

enum class Server { Xvfb, Xwayland, Wayland };

struct Kind {
    const char* name;
    Server server;
    int depth;          // of the screen the picture is read back from
    bool exactColours;  // the screen holds every 8-bit intensity the palette shows
};

void PrintTo(const Kind& kind, std::ostream* out) { *out << kind.name; }

class DisplayKindTest : public DisctrailTest, public testing::WithParamInterface<Kind> {
protected:
    void start() {
        const Kind& kind = GetParam();
        if (kind.server == Server::Xvfb) {
            server = startXvfb(1024, 768, kind.depth);
            if (kind.depth == 30) {
                programEnvironment = sanitizerEnvironment({.noLeakReport = true});  // SDL draws through GL there
            }
            ASSERT_NO_FATAL_FAILURE(startProgramAndWaitForWindow());
        } else if (kind.server == Server::Xwayland) {
            ASSERT_NO_FATAL_FAILURE(startOnXwayland());
        } else {
            ASSERT_NO_FATAL_FAILURE(startOnWayland());
        }
    }

    // Where the picture is seen: the X screen, or weston's output on the host.
    Screenshot seen() {
        return host ? takeScreenshotOf(host.get(), kWestonOutput) : takeScreenshot(display.get());
    }

    // Full screen shows the picture centred on black, nothing of the desktop around it;
    // a window leaves the desktop (here, beyond the picture's right edge) in sight.
    bool desktopShowsBesideThePicture() {
        const Screenshot picture = seen();
        return nonBlackInPatch(picture, picture.width - 64, picture.height / 2, 32) > 0;
    }

    void waitForFullScreen(bool fullScreen, const std::string& when) {
        const std::optional<double> seenSo =
            pollUntil([&] { return desktopShowsBesideThePicture() != fullScreen; }, kEndLimit);
        EXPECT_TRUE(seenSo) << when << ": " << (fullScreen ? "the desktop still shows" : "no desktop shows")
                            << " beside the picture";
    }
};

TEST_P(DisplayKindTest, ShowsThePictureSwitchesWithAltEnterAndEndsOnAKey) {
    const Kind& kind = GetParam();
    ASSERT_NO_FATAL_FAILURE(start());
    // Weston fades a new surface in: the picture settles in its own colours.
    PixelCounts counts;
    const std::optional<double> settled = pollUntil(
        [&] {
            const Screenshot picture = seen();
            counts = countPixels(picture, {0, 0, picture.width, picture.height});
            return counts.nonBlackInside > 100 && (!kind.exactColours || counts.undisplayable == 0);
        },
        kEndLimit);
    EXPECT_TRUE(settled) << counts.nonBlackInside << " pixels drawn; a colour no palette entry shows: "
                         << describe(counts.firstUndisplayable) << " at " << counts.firstUndisplayableX << ","
                         << counts.firstUndisplayableY;
    waitForFullScreen(true, "at the start");

    typeChord(display.get(), {XK_Alt_L, XK_Return});
    waitForFullScreen(false, "after Alt+Enter");
    typeChord(display.get(), {XK_Alt_L, XK_Return});
    waitForFullScreen(true, "after Alt+Enter again");

    typeChord(display.get(), {XK_a});
    const ExitResult result = waitForProgramExit();
    EXPECT_TRUE(result.exited && result.status == 0) << result.describe();
    EXPECT_EQ(programErrors(), "");
    note(std::string(kind.name) + ": picture after " + std::to_string(secondsToWindow) + " s");
}

// The title bar a decorated Wayland window carries: the topmost run of one dark colour, at
// least as wide as most of the window, that stops short of the output's right edge (where
// weston's own panel would run on). Its close button is at its right end.
std::optional<Rect> findTitleBar(const Screenshot& output) {
    constexpr int kLeast = 400;
    for (int y = 0; y < output.height; ++y) {
        int start = 0;
        for (int x = 1; x <= output.width; ++x) {
            if (x < output.width && output.at(x, y) == output.at(start, y)) {
                continue;
            }
            const Rgb& colour = output.at(start, y);
            const bool dark = std::max({colour.red, colour.green, colour.blue}) < 48;
            if (dark && x - start >= kLeast && x < output.width - 8) {
                int bottom = y;
                while (bottom + 1 < output.height && output.at(start + 1, bottom + 1) == colour) {
                    ++bottom;
                }
                return Rect{start, y, x - start, bottom - y + 1};
            }
            start = x;
        }
    }
    return std::nullopt;
}

TEST_P(DisplayKindTest, ARequestToCloseTheWindowEndsTheRunWithStatusZero) {
    const Kind& kind = GetParam();
    ASSERT_NO_FATAL_FAILURE(start());
    if (kind.server != Server::Wayland) {
        ASSERT_TRUE(acceptsCloseRequest(display.get(), window.id));
        sendCloseRequest(display.get(), window.id);
    } else {
        // On Wayland only the window's own decorations offer to close it, and weston
        // draws them only around a window: its close button, clicked as a person does.
        typeChord(display.get(), {XK_Alt_L, XK_Return});
        waitForFullScreen(false, "after Alt+Enter");
        std::optional<Rect> titleBar;
        ASSERT_TRUE(pollUntil([&] { return (titleBar = findTitleBar(seen())).has_value(); }, kEndLimit))
            << "no title bar on weston's output";
        clickAt(display.get(), kWestonOutput.left + titleBar->left + titleBar->width - 15,
                kWestonOutput.top + titleBar->top + titleBar->height / 2);
    }
    const ExitResult result = waitForProgramExit();
    EXPECT_TRUE(result.exited && result.status == 0) << result.describe();
    EXPECT_EQ(programErrors(), "");
}

const Kind kKinds[] = {
    {"Xvfb8", Server::Xvfb, 8, true},  // PseudoColor: the palette is the screen's colormap
    {"Xvfb16", Server::Xvfb, 16, false},
    {"Xvfb24", Server::Xvfb, 24, true},
    {"Xvfb30", Server::Xvfb, 30, true},
    {"Xwayland", Server::Xwayland, 24, true},
    {"Wayland", Server::Wayland, 24, true},
};

INSTANTIATE_TEST_SUITE_P(Displays, DisplayKindTest, testing::ValuesIn(kKinds),
                         [](const testing::TestParamInfo<Kind>& info) { return std::string(info.param.name); });

} // namespace
