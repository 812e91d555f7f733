#include "platform/raster.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Up to this radius the rule's integers stay within 62 bits and its A x r is exact in
// the 64-bit significand of a long double.
constexpr float kMaxRadius = 1048576.0f;
// A centre further out than this cannot bring a disc of kMaxRadius onto the page.
constexpr float kMaxCentre = 4194304.0f;

struct Fill {
    std::uint8_t* page;
    std::uint8_t value;
    RowSpan touched;
};

// One run of a row, clipped to the page on its own: the caller's L and R stay unclipped.
void fillRun(Fill& fill, std::int64_t row, std::int64_t left, std::int64_t right) {
    if (row < 0 || row >= kPageHeight) {
        return;
    }
    const std::int64_t start = std::max<std::int64_t>(left, 0);
    const std::int64_t end = std::min<std::int64_t>(right, kPageWidth - 1);
    if (start > end) {
        return;
    }
    std::memset(fill.page + row * kPageWidth + start, fill.value, static_cast<std::size_t>(end - start + 1));
    fill.touched.first = std::min(fill.touched.first, static_cast<std::int32_t>(row));
    fill.touched.last = std::max(fill.touched.last, static_cast<std::int32_t>(row));
}

// Rounds half away from zero; exact for every float in range, where a float sum would
// round 0.49999997 + 0.5 up to 1.
std::int64_t roundToNearest(float value) {
    const double wide = value;
    return static_cast<std::int64_t>(value > 0 ? wide + 0.5 : wide - 0.5);
}

} // namespace

RowSpan rasterCircle(std::uint8_t* page, float x, float y, float radius, std::int32_t colour) {
    Fill fill{page, static_cast<std::uint8_t>(colour), RowSpan{kPageHeight, -1}};

    // A radius of -1 or less makes every run empty. The comparisons are written so
    // that NaN fails them.
    if (!(radius > -1 && radius <= kMaxRadius && std::fabs(x) <= kMaxCentre && std::fabs(y) <= kMaxCentre)) {
        return fill.touched;
    }

    const std::int64_t cx = roundToNearest(x);
    const std::int64_t cy = roundToNearest(y);
    const double r = radius;

    // The centre row reaches ceil(r) left of cx but floor(r) right of it: truncation
    // toward zero makes the ends asymmetric, and L rounds up when cx - r is negative.
    std::int64_t left = static_cast<std::int64_t>(static_cast<double>(cx) - r);
    std::int64_t right = static_cast<std::int64_t>(static_cast<double>(cx) + r);
    fillRun(fill, cy, left, right);

    const auto rSquared = static_cast<std::int64_t>(r * r);
    std::int64_t error = static_cast<std::int64_t>(static_cast<long double>(rSquared) * radius);
    std::int64_t columnGain = 2 * error;
    std::int64_t rowCost = 0;
    std::int64_t columnsLeft = static_cast<std::int64_t>(r);
    std::int64_t up = cy;
    std::int64_t down = cy;

    while (columnsLeft > 0) {
        bool newRows = false;
        if (error > 0) {
            ++down;
            --up;
            rowCost += 2 * rSquared;
            error -= rowCost;
            newRows = true;
        }
        if (error <= 0) {
            ++left;
            --right;
            --columnsLeft;
            columnGain -= 2 * rSquared;
            error += columnGain;
        }
        // Runs only narrow and rows only move outward: once every further fill would
        // miss the page, the rest of the disc is off it.
        if (left > right || right < 0 || left >= kPageWidth || (up < 0 && down >= kPageHeight)) {
            break;
        }
        // A column step alone refills the same two rows with a shorter run, which
        // changes nothing.
        if (newRows) {
            fillRun(fill, down, left, right);
            fillRun(fill, up, left, right);
        }
    }
    return fill.touched;
}
