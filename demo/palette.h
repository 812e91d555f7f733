// The palette cycle: a smooth random walk of colours, generated once, whose entries
// 1 to 255 rotate one place every frame so the whole trail's colours flow.
#pragma once

#include <cstdint>

constexpr int kPaletteEntries = 256;

// 256 entries of red, green, blue, entry i at byte 3 x i. Entry 0, the background,
// is never written and stays black.
struct PaletteTable {
    std::uint8_t bytes[3 * kPaletteEntries];
};

// The same layout; holds entries only in the middle of a rotation.
struct ScratchTable {
    std::uint8_t bytes[3 * kPaletteEntries];
};

// Fills entries 1 to 255 from six random draws: a start value and a step for each of
// red, green and blue, each channel reflecting off 0 and 255.
void generatePalette(PaletteTable& table);

// Sends entries first..last, in ascending order, to the display.
void uploadPaletteRange(const PaletteTable& table, std::int32_t first, std::int32_t last);

// Moves entries 1 to 255 one place toward lower indices, the old entry 1 to 255.
void rotatePalette(PaletteTable& table, ScratchTable& scratch);

// Copies byteCount bytes as whole 32-bit words, then the last 0 to 3 bytes singly.
// The ranges must not overlap.
void copyBlock(void* destination, const void* source, std::uint32_t byteCount);
