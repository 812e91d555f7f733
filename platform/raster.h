// The filled-disc rule of the display: which pixels of the 640x480 page a disc covers.
// A pure function on a page of colour indices, so it can be checked to the pixel.
#pragma once

#include <cstdint>

#include "platform/cpu_features.h"

constexpr int kPageWidth = 640;
constexpr int kPageHeight = 480;

// The part of the page a call wrote to: exactly rows top..bottom, and columns
// left..right of its widest run, which bound every column written; empty (top > bottom)
// when it wrote nothing.
struct DirtyRect {
    std::int32_t top;
    std::int32_t bottom;
    std::int32_t left;
    std::int32_t right;

    bool empty() const { return top > bottom; }
};

constexpr DirtyRect kNothingDrawn{kPageHeight, -1, kPageWidth, -1};

// Fills the disc of centre (x, y) and radius `radius` on `page` (kPageWidth x
// kPageHeight bytes, row by row) with the low 8 bits of `colour`, clipped to the page.
//
// Safe for any arguments: NaN, infinities and radii above 2^20 pixels, which no disc
// of this program comes near and whose rule would need wider integers than it uses,
// draw nothing; centres far off the page write nothing; every call ends after at most
// a few million steps.
DirtyRect rasterCircle(std::uint8_t* page, float x, float y, float radius, std::int32_t colour);

// The same rule built for two kinds of processor, which rasterCircle chooses between at
// its first call; exposed so that each can be checked on every machine that runs it.
DirtyRect rasterCirclePortable(std::uint8_t* page, float x, float y, float radius, std::int32_t colour);
#if DISCTRAIL_X86
DirtyRect rasterCircleAvx2(std::uint8_t* page, float x, float y, float radius, std::int32_t colour);  // needs AVX2
#endif
