// From a page of colour indices to true-colour pixels: the work of every refresh after
// a palette change, kept free of the window system so it can be measured and checked.
#pragma once

#include <cstdint>

#include "platform/cpu_features.h"

// A palette component keeps its upper six bits, a level 0..63 ...
constexpr std::uint8_t paletteLevel(std::int32_t component) { return static_cast<std::uint8_t>((component >> 2) & 63); }

// ... and level L shows as floor(L x 255 / 63), so that components 0..3 show as 0, 128
// as 129 and 252..255 as 255.
constexpr std::uint8_t levelIntensity(std::uint8_t level) { return static_cast<std::uint8_t>(level * 255 / 63); }

// Where the page lands on the target: each page pixel becomes a scale x scale block,
// the whole picture offset from the target's top-left corner.
struct Placement {
    std::int32_t scale;
    std::int32_t offsetX;
    std::int32_t offsetY;
};

// The largest whole scale at which a 640x480 picture fits the target, centred.
Placement placePicture(std::int32_t targetWidth, std::int32_t targetHeight);

// Converts page rows first..last (640 pixels each) through `colours` into 32-bit target
// pixels, `pitch` bytes from one target row to the next.
void convertRows(const std::uint8_t* page, const std::uint32_t* colours, std::uint8_t* target,
                 std::int32_t pitch, Placement placement, std::int32_t first, std::int32_t last);

// The two ways of converting one row at scale 1, which convertRows chooses between by
// the processor; exposed so that each can be checked on every machine that runs it.
void convertLine(const std::uint8_t* source, const std::uint32_t* colours, std::uint32_t* line);
#if DISCTRAIL_X86
void convertLineGathering(const std::uint8_t* source, const std::uint32_t* colours, std::uint32_t* line);  // needs AVX2
#endif

// Copies page rows first..last as they are into 8-bit target pixels, each page pixel a
// scale x scale block at the placement: for a screen whose colormap is the palette.
void copyRows(const std::uint8_t* page, std::uint8_t* target, std::int32_t pitch, Placement placement,
              std::int32_t first, std::int32_t last);
