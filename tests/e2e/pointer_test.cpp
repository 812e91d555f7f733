// The pointer is hidden over the program's window, and only there: the cursor the X server
// shows while the pointer rests on the window has no visible pixel.
// gtest first: X's None macro would break its headers.
#include "program_fixture.h"

#include <X11/extensions/Xfixes.h>
#include <X11/keysym.h>

#include <thread>

namespace {

// Pixels of the cursor image the server shows now whose alpha is not zero.
int visibleCursorPixels(Display* display) {
    XFixesCursorImage* image = XFixesGetCursorImage(display);
    if (image == nullptr) {
        return -1;
    }
    int visible = 0;
    for (int i = 0; i < image->width * image->height; ++i) {
        visible += (image->pixels[i] >> 24) != 0;
    }
    XFree(image);
    return visible;
}

class PointerTest : public DisctrailTest {};

TEST_F(PointerTest, IsHiddenOverTheWindowAndShownAgainAfterTheRun) {
    ASSERT_NO_FATAL_FAILURE(startOnXvfb(1024, 768));
    int eventBase = 0, errorBase = 0;
    ASSERT_TRUE(XFixesQueryExtension(display.get(), &eventBase, &errorBase)) << "the server has no XFixes";

    // The program hides the pointer when its window is up; the refresh that follows applies it.
    XWarpPointer(display.get(), None, window.id, 0, 0, 0, 0, window.width / 2, window.height / 2);
    XSync(display.get(), False);
    std::this_thread::sleep_for(200ms);
    const int overWindow = visibleCursorPixels(display.get());
    EXPECT_EQ(overWindow, 0) << "visible cursor pixels with the pointer over the window";

    typeChord(display.get(), {XK_a});
    const ExitResult result = waitForProgramExit();
    ASSERT_TRUE(result.finished && result.exited && result.status == 0) << result.describe();
    XSync(display.get(), False);
    const int afterwards = visibleCursorPixels(display.get());
    EXPECT_GT(afterwards, 0) << "the desktop's cursor shows again once the window is gone";
    note("visible cursor pixels: " + std::to_string(overWindow) + " over the window, " + std::to_string(afterwards) +
         " after the run");
}

} // namespace
