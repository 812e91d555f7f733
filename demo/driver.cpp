#include "demo/driver.h"

#include <cstdint>
#include <cstdlib>

#include "demo/disc.h"
#include "demo/palette.h"
#include "platform/clock_random.h"
#include "platform/display.h"
#include "platform/float_mode.h"

namespace {

// The program's whole state: static, so zero-filled at start and never allocated.
// Entry 0 of the palette stays black because nothing ever writes it.
PaletteTable gPalette;
ScratchTable gScratch;
DiscState gDisc;
std::int32_t quitRequested;

constexpr std::int32_t kScreenWidth = 640;
constexpr std::int32_t kScreenHeight = 480;

} // namespace

void runDemoUntilKey() {
    setFloatMode();

    seedRandom(clockSeconds());
    openDisplay(kScreenWidth, kScreenHeight, 8, 1, true, 0);
    hidePointer(-1, -1, 0);
    generatePalette(gPalette);
    uploadPaletteRange(gPalette, 0, 255);
    quitRequested = 0;
    initDisc(gDisc);

    // The quit test stands after the pause, so the frame in which a key is seen is
    // finished in full.
    do {
        stepDisc(gDisc);
        if (!pollKey().empty()) {
            quitRequested = -1;
        }
        rotatePalette(gPalette, gScratch);
        uploadPaletteRange(gPalette, 1, 255);
        pauseMs(1);
    } while (quitRequested == 0);

    closeDisplay();
}

void runDemo() {
    runDemoUntilKey();
    std::exit(0);
}
