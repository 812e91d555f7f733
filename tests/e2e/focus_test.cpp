// Switched away from full screen, the picture is not refreshed and keys typed meanwhile
// do not count; back in front, it refreshes again and a key ends the run. With and
// without a window manager, to another window or to the desktop.
#include <X11/keysym.h>

#include <thread>

#include "program_fixture.h"

namespace {

enum class Away {
    OtherWindow,  // another program's window takes the focus
    Desktop,      // the desktop does, as a click on it gives it
};

struct Setting {
    const char* name;
    Desktop desktop;
    Away away;
};

void PrintTo(const Setting& setting, std::ostream* out) { *out << setting.name; }

class FocusTest : public DisctrailTest, public testing::WithParamInterface<Setting> {
protected:
    // The middle of the picture, away from the test's own window in the top-left corner.
    Screenshot middle() {
        const Rect area{256, 192, 512, 384};
        return takeScreenshotOf(display.get(), area);
    }

    // The palette rotates every frame, so a picture that is refreshed changes between two
    // looks a tenth of a second apart, and one that is not stays as it was.
    bool refreshing() {
        const Screenshot before = middle();
        std::this_thread::sleep_for(100ms);
        return middle().pixels != before.pixels;
    }

    void expectRefreshing(bool wanted, const std::string& when) {
        EXPECT_TRUE(pollUntil([&] { return refreshing() == wanted; }, kEndLimit))
            << when << ": the picture " << (wanted ? "is not" : "is still") << " being refreshed";
    }
};

TEST_P(FocusTest, NoRefreshAndNoKeysWhileSwitchedAway) {
    const Setting& setting = GetParam();
    ASSERT_NO_FATAL_FAILURE(startOnXvfb(1024, 768, setting.desktop));
    expectRefreshing(true, "in front");

    Window other = None;
    if (setting.away == Away::OtherWindow) {
        other = openOtherWindow(display.get(), 10, 10);
        ASSERT_NE(other, 0u) << "the test's own window never became viewable";
        XSetInputFocus(display.get(), other, RevertToPointerRoot, CurrentTime);
        XSync(display.get(), False);
    } else {
        focusRootWindow(display.get());
    }
    expectRefreshing(false, "switched away");
    typeChord(display.get(), {XK_a});
    std::this_thread::sleep_for(500ms);
    expectStillRunning("a key typed while switched away");

    activateWindow(display.get(), window.id);
    expectRefreshing(true, "back in front");
    typeChord(display.get(), {XK_a});
    const ExitResult result = waitForProgramExit();
    EXPECT_TRUE(result.exited && result.status == 0) << result.describe();
    EXPECT_EQ(programErrors(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Settings, FocusTest,
    // Openbox gives the focus straight back to the full-screen window when it goes to the
    // desktop, which no click can reach while the picture covers it. Weston, driven through
    // XTest on its host, moves Xwayland's focus too unevenly for a test to follow.
    testing::Values(Setting{"BareOtherWindow", Desktop::Bare, Away::OtherWindow},
                    Setting{"BareDesktop", Desktop::Bare, Away::Desktop},
                    Setting{"OpenboxOtherWindow", Desktop::Openbox, Away::OtherWindow}),
    [](const testing::TestParamInfo<Setting>& info) { return std::string(info.param.name); });

} // namespace
