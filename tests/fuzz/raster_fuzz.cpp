// The raster under arbitrary arguments: any bit patterns for x, y and the radius (NaN,
// infinities, huge and negative values) and any colour, on a page between guard bytes.
// Nothing may be written outside the page, the rectangle reported must hold every
// pixel written, and where the literal rule is cheap enough to run, the pixels must be its.
// Undefined behaviour is caught by UBSan, and a call that runs long by -timeout.
#include <cstdint>
#include <cstring>

#include "platform/raster.h"
#include "tests/raster_reference.h"

namespace {

constexpr std::size_t kGuard = 4096;
constexpr std::uint8_t kGuardByte = 0xA5;
constexpr std::size_t kPageBytes = kPageWidth * kPageHeight;

std::uint8_t gBuffer[kGuard + kPageBytes + kGuard];
std::uint8_t gExpected[kPageBytes];

void require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 16) {
        return 0;
    }
    float x, y, radius;
    std::int32_t colour;
    std::memcpy(&x, data, 4);
    std::memcpy(&y, data + 4, 4);
    std::memcpy(&radius, data + 8, 4);
    std::memcpy(&colour, data + 12, 4);

    std::memset(gBuffer, kGuardByte, kGuard);
    std::memset(gBuffer + kGuard + kPageBytes, kGuardByte, kGuard);
    std::uint8_t* page = gBuffer + kGuard;
    const std::uint8_t background = static_cast<std::uint8_t>(colour) ^ 0xFF;
    std::memset(page, background, kPageBytes);

    const DirtyRect rows = rasterCircle(page, x, y, radius, colour);

    for (std::size_t i = 0; i < kGuard; ++i) {
        require(gBuffer[i] == kGuardByte && gBuffer[kGuard + kPageBytes + i] == kGuardByte);
    }
    for (int row = 0; row < kPageHeight; ++row) {
        for (int column = 0; column < kPageWidth; ++column) {
            const bool inside = rows.top <= row && row <= rows.bottom && rows.left <= column && column <= rows.right;
            require(inside || page[row * kPageWidth + column] == background);
        }
    }

    // The literal rule walks every step and pixel; keep it to discs it runs quickly.
    const bool comparable = radius > -1 && radius <= 2048 && std::fabs(x) <= 100000 && std::fabs(y) <= 100000;
    if (comparable) {
        std::memset(gExpected, background, kPageBytes);
        referenceCircle(gExpected, x, y, radius, colour);
        require(std::memcmp(gExpected, page, kPageBytes) == 0);
    }
    return 0;
}
