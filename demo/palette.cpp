#include "demo/palette.h"

#include <cmath>
#include <cstring>

#include "platform/clock_random.h"
#include "platform/display.h"

namespace {

struct Channel {
    std::int32_t value;
    std::int32_t step;
};

// Both products are exact for every k/32768, so rounding down gives the same whatever
// the precision: values 0..255 and steps -10..+11.
Channel drawChannel() {
    Channel channel;
    channel.value = static_cast<std::int32_t>(std::floor(randomUnit() * 256));
    channel.step = static_cast<std::int32_t>(std::floor(randomUnit() * 22)) - 10;
    return channel;
}

// A channel that leaves 0..255 turns back: the step is negated and applied, which
// returns the value to the one just stored, so that entry repeats before the turn.
void walk(Channel& channel) {
    channel.value += channel.step;
    if (channel.value > 255 || channel.value < 0) {
        channel.step = -channel.step;
        channel.value += channel.step;
    }
}

} // namespace

void generatePalette(PaletteTable& table) {
    Channel red = drawChannel();
    Channel green = drawChannel();
    Channel blue = drawChannel();
    for (int i = 1; i < kPaletteEntries; ++i) {
        table.bytes[3 * i + 0] = static_cast<std::uint8_t>(red.value);
        table.bytes[3 * i + 1] = static_cast<std::uint8_t>(green.value);
        table.bytes[3 * i + 2] = static_cast<std::uint8_t>(blue.value);
        walk(red);
        walk(green);
        walk(blue);
    }
}

void uploadPaletteRange(const PaletteTable& table, std::int32_t first, std::int32_t last) {
    for (std::int32_t i = first; i <= last; ++i) {
        setPaletteEntry(i, table.bytes[3 * i + 0], table.bytes[3 * i + 1], table.bytes[3 * i + 2]);
    }
}

void rotatePalette(PaletteTable& table, ScratchTable& scratch) {
    copyBlock(scratch.bytes + 0, table.bytes + 3, 765);
    copyBlock(table.bytes + 3, scratch.bytes + 3, 762);
    copyBlock(table.bytes + 765, scratch.bytes + 0, 3);
}

void copyBlock(void* destination, const void* source, std::uint32_t byteCount) {
    auto* to = static_cast<unsigned char*>(destination);
    const auto* from = static_cast<const unsigned char*>(source);
    const std::uint32_t words = byteCount / 4;
    // memcpy of four bytes is the portable unaligned word move; it compiles to one load
    // and one store.
    for (std::uint32_t i = 0; i < words; ++i) {
        std::uint32_t word;
        std::memcpy(&word, from, 4);
        std::memcpy(to, &word, 4);
        to += 4;
        from += 4;
    }
    for (std::uint32_t i = 0; i < byteCount % 4; ++i) {
        *to++ = *from++;
    }
}
