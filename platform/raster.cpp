#include "platform/raster.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace {

// Up to this radius the rule's integers stay within 62 bits and its A x r fits 64 bits
// (truncatedProduct).
constexpr float kMaxRadius = 1048576.0f;
// A centre further out than this cannot bring a disc of kMaxRadius onto the page.
constexpr float kMaxCentre = 4194304.0f;

// Copies of the pixel value, stored as one unit: one store instruction where the
// processor has registers that wide, two or more where it has not.
typedef std::uint8_t Bytes16 __attribute__((vector_size(16)));
typedef std::uint8_t Bytes32 __attribute__((vector_size(32)));

// Fills `length` bytes (1..640) with whole 16-byte stores that overlap where the length
// is not a multiple of 16, and smaller ones below 16 bytes. A disc's runs are short, so a
// library call would cost more than the stores; and left to itself the compiler turns a
// memset of a bounded length into "rep stos", whose start-up alone costs more than a
// whole run of stores.
[[gnu::always_inline]] inline void fillBytes(std::uint8_t* to, std::uint8_t value, std::size_t length) {
    if (length >= 32) {
        const Bytes32 pattern = Bytes32{} + value;
        std::uint8_t* const lastStore = to + length - 32;
        for (; to < lastStore; to += 32) {
            std::memcpy(to, &pattern, 32);
        }
        std::memcpy(lastStore, &pattern, 32);
    } else if (length >= 16) {
        const Bytes16 pattern = Bytes16{} + value;
        std::uint8_t* const lastStore = to + length - 16;
        for (; to < lastStore; to += 16) {
            std::memcpy(to, &pattern, 16);
        }
        std::memcpy(lastStore, &pattern, 16);
    } else if (length >= 8) {
        const std::uint64_t pattern = value * 0x0101010101010101ULL;
        std::memcpy(to, &pattern, 8);
        std::memcpy(to + length - 8, &pattern, 8);
    } else if (length >= 4) {
        const std::uint32_t pattern = value * 0x01010101U;
        std::memcpy(to, &pattern, 4);
        std::memcpy(to + length - 4, &pattern, 4);
    } else {
        to[0] = value;
        to[length / 2] = value;
        to[length - 1] = value;
    }
}

// One run of a row, clipped to the page on its own: the caller's L and R stay unclipped.
[[gnu::always_inline]] inline void fillRun(std::uint8_t* page, std::uint8_t value, std::int64_t row, std::int64_t left, std::int64_t right) {
    if (row < 0 || row >= kPageHeight) {
        return;
    }
    const std::int64_t start = std::max<std::int64_t>(left, 0);
    const std::int64_t end = std::min<std::int64_t>(right, kPageWidth - 1);
    if (start <= end) {
        fillBytes(page + row * kPageWidth + start, value, static_cast<std::size_t>(end - start + 1));
    }
}

// Rounds half away from zero; exact for every float in range, where a float sum would
// round 0.49999997 + 0.5 up to 1.
std::int64_t roundToNearest(float value) {
    const double wide = value;
    return static_cast<std::int64_t>(value > 0 ? wide + 0.5 : wide - 0.5);
}

// The rule's e = trunc(A x r), A = trunc(r x r), exactly: with r = m x 2^-s, m its 24-bit
// significand, it is (A x m) >> s. For r up to kMaxRadius, A < 2^40 and the product
// fits 64 bits; r is then at least 1 wherever A is not 0, so s is positive.
std::int64_t truncatedProduct(std::int64_t a, float r) {
    if (a == 0) {
        return 0;
    }
    const auto bits = std::bit_cast<std::uint32_t>(r);
    const std::uint64_t significand = (bits & 0x7FFFFFu) | 0x800000u;
    const int shift = 150 - static_cast<int>(bits >> 23);  // r = significand x 2^-shift
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(a) * significand) >> shift);
}

[[gnu::always_inline]] inline DirtyRect rasterWithStores(std::uint8_t* page, float x, float y, float radius,
                                                       std::int32_t colour) {
    const auto value = static_cast<std::uint8_t>(colour);

    // A radius of -1 or less makes every run empty. The comparisons are written so
    // that NaN fails them.
    if (!(radius > -1 && radius <= kMaxRadius && std::fabs(x) <= kMaxCentre && std::fabs(y) <= kMaxCentre)) {
        return kNothingDrawn;
    }

    const std::int64_t cx = roundToNearest(x);
    const std::int64_t cy = roundToNearest(y);
    const double r = radius;

    // The centre row reaches ceil(r) left of cx but floor(r) right of it: truncation
    // toward zero makes the ends asymmetric, and L rounds up when cx - r is negative.
    const std::int64_t centreLeft = static_cast<std::int64_t>(static_cast<double>(cx) - r);
    const std::int64_t centreRight = static_cast<std::int64_t>(static_cast<double>(cx) + r);
    std::int64_t left = centreLeft;
    std::int64_t right = centreRight;
    // Runs only narrow from here, so a centre row off the page leaves the whole disc off.
    if (left > right || right < 0 || left >= kPageWidth) {
        return kNothingDrawn;
    }
    fillRun(page, value, cy, left, right);

    const auto rSquared = static_cast<std::int64_t>(r * r);
    std::int64_t error = truncatedProduct(rSquared, radius);
    std::int64_t columnGain = 2 * error;
    std::int64_t rowCost = 0;
    std::int64_t columnsLeft = static_cast<std::int64_t>(r);
    std::int64_t rows = 0;  // row steps taken: rows cy - rows .. cy + rows are filled

    const std::int64_t twoA = 2 * rSquared;
    while (columnsLeft > 0) {
        if (error <= 0) {
            // Column steps alone refill the same two rows with shorter runs, which
            // changes nothing: only the ends move.
            do {
                ++left;
                --right;
                --columnsLeft;
                columnGain -= twoA;
                error += columnGain;
            } while (error <= 0 && columnsLeft > 0);
            continue;
        }
        ++rows;
        rowCost += twoA;
        error -= rowCost;
        // The column step that may follow, without a branch: where the disc's side is
        // steep it comes at no rhythm a branch predictor could learn.
        const std::int64_t column = -static_cast<std::int64_t>(error <= 0);
        left -= column;
        right += column;
        columnsLeft += column;
        columnGain -= twoA & column;
        error += columnGain & column;
        // Runs only narrow and rows only move outward: once every further fill would
        // miss the page, the rest of the disc is off it.
        if (left > right || right < 0 || left >= kPageWidth || (cy - rows < 0 && cy + rows >= kPageHeight)) {
            --rows;
            break;
        }
        fillRun(page, value, cy + rows, left, right);
        fillRun(page, value, cy - rows, left, right);
    }

    // The centre row is the widest run, so its ends bound every column written.
    const DirtyRect touched{static_cast<std::int32_t>(std::max<std::int64_t>(cy - rows, 0)),
                            static_cast<std::int32_t>(std::min<std::int64_t>(cy + rows, kPageHeight - 1)),
                            static_cast<std::int32_t>(std::max<std::int64_t>(centreLeft, 0)),
                            static_cast<std::int32_t>(std::min<std::int64_t>(centreRight, kPageWidth - 1))};
    return touched.empty() ? kNothingDrawn : touched;
}

} // namespace

// The same rule built twice, and the better one chosen at the first call: with 32-byte
// stores where the processor has AVX2, with 16-byte ones everywhere else.
#if DISCTRAIL_X86
__attribute__((target("avx2"))) DirtyRect rasterCircleAvx2(std::uint8_t* page, float x, float y, float radius,
                                                           std::int32_t colour) {
    return rasterWithStores(page, x, y, radius, colour);
}
#endif

DirtyRect rasterCirclePortable(std::uint8_t* page, float x, float y, float radius, std::int32_t colour) {
    return rasterWithStores(page, x, y, radius, colour);
}

DirtyRect rasterCircle(std::uint8_t* page, float x, float y, float radius, std::int32_t colour) {
    using Raster = DirtyRect (*)(std::uint8_t*, float, float, float, std::int32_t);
    // Chosen at the first call, so that a call from another file's static initialisation
    // finds it chosen too.
#if DISCTRAIL_X86
    static const Raster raster = cpuHasAvx2() ? rasterCircleAvx2 : rasterCirclePortable;
#else
    static const Raster raster = rasterCirclePortable;
#endif
    return raster(page, x, y, radius, colour);
}
