#include "platform/page_convert.h"

#include <algorithm>
#include <cstring>

#include "platform/raster.h"

Placement placePicture(std::int32_t targetWidth, std::int32_t targetHeight) {
    const std::int32_t scale = std::max(1, std::min(targetWidth / kPageWidth, targetHeight / kPageHeight));
    return Placement{scale, (targetWidth - kPageWidth * scale) / 2, (targetHeight - kPageHeight * scale) / 2};
}

void convertRows(const std::uint8_t* page, const std::uint32_t* colours, std::uint8_t* target,
                 std::int32_t pitch, Placement placement, std::int32_t first, std::int32_t last) {
    const std::int32_t scale = placement.scale;
    for (std::int32_t row = first; row <= last; ++row) {
        const std::uint8_t* source = page + row * kPageWidth;
        auto* line = reinterpret_cast<std::uint32_t*>(target + static_cast<std::ptrdiff_t>(placement.offsetY + row * scale) * pitch) +
                     placement.offsetX;
        if (scale == 1) {
            for (int x = 0; x < kPageWidth; ++x) {
                line[x] = colours[source[x]];
            }
            continue;
        }
        for (int x = 0; x < kPageWidth; ++x) {
            const std::uint32_t colour = colours[source[x]];
            for (std::int32_t i = 0; i < scale; ++i) {
                line[x * scale + i] = colour;
            }
        }
        // The other rows of the block are copies of the first.
        for (std::int32_t i = 1; i < scale; ++i) {
            std::memcpy(reinterpret_cast<std::uint8_t*>(line) + i * pitch, line, static_cast<std::size_t>(kPageWidth * scale) * 4);
        }
    }
}
