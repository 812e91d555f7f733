// Screenshots as plain pixels, and the measurements the tests make on them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Rgb {
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;

    bool operator==(const Rgb&) const = default;
    bool isBlack() const { return red == 0 && green == 0 && blue == 0; }
};

struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels; // row by row

    const Rgb& at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// A half-open rectangle: columns left..left+width-1, rows top..top+height-1.
struct Rect {
    int left;
    int top;
    int width;
    int height;

    bool contains(int x, int y) const { return x >= left && x < left + width && y >= top && y < top + height; }
};

std::string describe(const Rect& rect);
std::string describe(const Rgb& colour);

// The 64 levels of a 6-bit colour channel shown at 8 bits: floor(level x 255 / 63).
bool isDisplayableIntensity(std::uint8_t value);

struct PixelCounts {
    long nonBlackInside = 0;
    long nonBlackOutside = 0;
    long blackInside = 0;
    long undisplayable = 0;   // pixels with a channel outside the 64 levels
    Rgb firstUndisplayable{}; // an example, when there is one
    int firstUndisplayableX = -1;
    int firstUndisplayableY = -1;
    int firstOutsideX = -1;   // a non-black pixel outside the rectangle, when there is one
    int firstOutsideY = -1;
};

PixelCounts countPixels(const Screenshot& picture, const Rect& inside);

// Number of different colours in the picture.
std::size_t distinctColours(const Screenshot& picture);

// The commonest colour and how many pixels have it.
struct Commonest {
    Rgb colour;
    long count;
};
Commonest commonestColour(const Screenshot& picture);

// Counts the pixels outside `area` that have the given colour.
long countOutside(const Screenshot& picture, const Rect& area, const Rgb& colour);

// Counts the pixels of a square patch that are not black.
long nonBlackInPatch(const Screenshot& picture, int left, int top, int size);

// Cuts `area` into scale x scale blocks from its top-left corner and counts the blocks
// whose pixels are not all one colour; for scale 1 there are none.
struct BlockCounts {
    long blocks = 0;
    long mixed = 0;
    long mixedNonBlackOnly = 0; // mixed blocks in which every pixel is non-black
    int firstMixedX = -1;
    int firstMixedY = -1;
};
BlockCounts countMixedBlocks(const Screenshot& picture, const Rect& area, int scale);

// Writes the picture as a binary PPM, for looking at after a failure.
void writePpm(const Screenshot& picture, const std::string& path);
