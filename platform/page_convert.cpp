#include "platform/page_convert.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdint>
#include <cstring>

#if DISCTRAIL_X86
#include <immintrin.h>
#endif

#include "platform/raster.h"

// One page row through the colours, one target pixel per page pixel. Eight indices come
// in one load and are taken apart in registers: a third less time than a load per index.
void convertLine(const std::uint8_t* source, const std::uint32_t* colours, std::uint32_t* line) {
    static_assert(kPageWidth % 8 == 0);
    if constexpr (std::endian::native != std::endian::little) {
        for (int x = 0; x < kPageWidth; ++x) {
            line[x] = colours[source[x]];
        }
        return;
    }
    // Written out: compilers leave a loop of eight with its variable shift rolled up.
    for (int x = 0; x < kPageWidth; x += 8) {
        std::uint64_t eight;
        std::memcpy(&eight, source + x, 8);
        line[x + 0] = colours[eight & 0xFF];
        line[x + 1] = colours[(eight >> 8) & 0xFF];
        line[x + 2] = colours[(eight >> 16) & 0xFF];
        line[x + 3] = colours[(eight >> 24) & 0xFF];
        line[x + 4] = colours[(eight >> 32) & 0xFF];
        line[x + 5] = colours[(eight >> 40) & 0xFF];
        line[x + 6] = colours[(eight >> 48) & 0xFF];
        line[x + 7] = colours[eight >> 56];
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

#if DISCTRAIL_X86
// The least time of a few rounds of converting rows with `convert`, in nanoseconds.
std::int64_t timeConverter(LineConverter convert, const std::uint8_t* source, const std::uint32_t* colours,
                           std::uint32_t* line) {
    std::int64_t least = INT64_MAX;
    for (int round = 0; round < 5; ++round) {
        const auto start = std::chrono::steady_clock::now();
        for (int row = 0; row < 32; ++row) {
            convert(source, colours, line);
        }
        least = std::min<std::int64_t>(least, (std::chrono::steady_clock::now() - start).count());
    }
    return least;
}
#endif

// Gathering eight colours in one instruction is the faster way on some processors with
// AVX2 (Intel's) and slower than plain loads on others (on an AMD EPYC, 130 us a page
// against 64), so where both can run, the first conversion times them and keeps the
// faster. Either gives the same pixels.
LineConverter chooseLineConverter() {
#if DISCTRAIL_X86
    if (!cpuHasAvx2()) {
        return convertLine;
    }
    std::uint8_t source[kPageWidth];
    std::uint32_t colours[256];
    std::uint32_t line[kPageWidth];
    for (int i = 0; i < kPageWidth; ++i) {
        source[i] = static_cast<std::uint8_t>(i * 37);
    }
    for (int i = 0; i < 256; ++i) {
        colours[i] = static_cast<std::uint32_t>(i) * 0x010101u;
    }
    const std::int64_t gathering = timeConverter(convertLineGathering, source, colours, line);
    return gathering < timeConverter(convertLine, source, colours, line) ? convertLineGathering : convertLine;
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
