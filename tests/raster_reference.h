// The filled-disc rule written out literally, step by step and pixel by pixel, with none
// of the raster's shortcuts: the yardstick the raster is checked against.
#pragma once

#include <cmath>
#include <cstdint>

#include "platform/raster.h"

inline void referenceRun(std::uint8_t* page, std::uint8_t value, std::int64_t row, std::int64_t left, std::int64_t right) {
    if (row < 0 || row >= kPageHeight || right < 0 || left > kPageWidth - 1) {
        return;
    }
    for (std::int64_t column = std::max<std::int64_t>(left, 0); column <= std::min<std::int64_t>(right, kPageWidth - 1); ++column) {
        page[row * kPageWidth + column] = value;
    }
}

// For radii up to 32768 and centres within 131072 of the origin, where the rule's
// integers fit; the raster draws nothing outside that.
inline void referenceCircle(std::uint8_t* page, float x, float y, float r, std::int32_t colour) {
    const auto value = static_cast<std::uint8_t>(colour & 0xFF);
    const double xd = x, yd = y;
    const auto cx = static_cast<std::int64_t>(std::trunc(x > 0 ? xd + 0.5 : xd - 0.5));
    const auto cy = static_cast<std::int64_t>(std::trunc(y > 0 ? yd + 0.5 : yd - 0.5));
    std::int64_t left = static_cast<std::int64_t>(std::trunc(static_cast<double>(cx) - r));
    std::int64_t right = static_cast<std::int64_t>(std::trunc(static_cast<double>(cx) + r));
    referenceRun(page, value, cy, left, right);
    const auto a = static_cast<std::int64_t>(std::trunc(static_cast<double>(r) * r));
    std::int64_t e = static_cast<std::int64_t>(std::trunc(static_cast<long double>(a) * r));
    std::int64_t s = 2 * e;
    std::int64_t rise = 0;
    std::int64_t n = static_cast<std::int64_t>(std::trunc(static_cast<double>(r)));
    std::int64_t up = cy, down = cy;
    while (n > 0) {
        bool stepColumn = e <= 0;
        if (e > 0) {
            down = down + 1;
            up = up - 1;
            rise = rise + 2 * a;
            e = e - rise;
            stepColumn = e <= 0;
        }
        if (stepColumn) {
            left = left + 1;
            right = right - 1;
            n = n - 1;
            s = s - 2 * a;
            e = e + s;
        }
        referenceRun(page, value, down, left, right);
        referenceRun(page, value, up, left, right);
    }
}
