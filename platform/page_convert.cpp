#include "platform/page_convert.h"

#include <algorithm>
#include <cstring>

#if DISCTRAIL_X86
#include <immintrin.h>
#endif

#include "platform/raster.h"

// One page row through the colours, one target pixel per page pixel.
void convertLine(const std::uint8_t* source, const std::uint32_t* colours, std::uint32_t* line) {
    for (int x = 0; x < kPageWidth; ++x) {
        line[x] = colours[source[x]];
    }
}

#if DISCTRAIL_X86
// The same with AVX2: eight indices widened at once and their colours gathered in one
// instruction, where the scalar loop needs a load per pixel.
__attribute__((target("avx2"))) void convertLineGathering(const std::uint8_t* source, const std::uint32_t* colours,
                                                          std::uint32_t* line) {
    for (int x = 0; x < kPageWidth; x += 8) {
        const __m256i indices = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(source + x)));
        const __m256i pixels = _mm256_i32gather_epi32(reinterpret_cast<const int*>(colours), indices, 4);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(line + x), pixels);
    }
}
#endif

namespace {

using LineConverter = void (*)(const std::uint8_t*, const std::uint32_t*, std::uint32_t*);

LineConverter chooseLineConverter() {
#if DISCTRAIL_X86
    return cpuHasAvx2() ? convertLineGathering : convertLine;
#else
    return convertLine;
#endif
}

} // namespace

Placement placePicture(std::int32_t targetWidth, std::int32_t targetHeight) {
    const std::int32_t scale = std::max(1, std::min(targetWidth / kPageWidth, targetHeight / kPageHeight));
    return Placement{scale, (targetWidth - kPageWidth * scale) / 2, (targetHeight - kPageHeight * scale) / 2};
}

void convertRows(const std::uint8_t* page, const std::uint32_t* colours, std::uint8_t* target,
                 std::int32_t pitch, Placement placement, std::int32_t first, std::int32_t last) {
    static const LineConverter convertLineAtScaleOne = chooseLineConverter();
    const std::int32_t scale = placement.scale;
    for (std::int32_t row = first; row <= last; ++row) {
        const std::uint8_t* source = page + row * kPageWidth;
        auto* line = reinterpret_cast<std::uint32_t*>(target + static_cast<std::ptrdiff_t>(placement.offsetY + row * scale) * pitch) +
                     placement.offsetX;
        if (scale == 1) {
            convertLineAtScaleOne(source, colours, line);
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

void copyRows(const std::uint8_t* page, std::uint8_t* target, std::int32_t pitch, Placement placement,
              std::int32_t first, std::int32_t last) {
    const std::int32_t scale = placement.scale;
    for (std::int32_t row = first; row <= last; ++row) {
        const std::uint8_t* source = page + row * kPageWidth;
        std::uint8_t* line = target + static_cast<std::ptrdiff_t>(placement.offsetY + row * scale) * pitch + placement.offsetX;
        if (scale == 1) {
            std::memcpy(line, source, kPageWidth);
            continue;
        }
        for (int x = 0; x < kPageWidth; ++x) {
            std::memset(line + x * scale, source[x], static_cast<std::size_t>(scale));
        }
        for (std::int32_t i = 1; i < scale; ++i) {
            std::memcpy(line + static_cast<std::ptrdiff_t>(i) * pitch, line, static_cast<std::size_t>(kPageWidth * scale));
        }
    }
}
