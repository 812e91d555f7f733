#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "demo/palette.h"
#include "tests/fake_platform.h"

namespace {

using Rgb = std::array<int, 3>;

constexpr double kLargestDraw = 32767.0 / 32768.0;

// The smallest draw k/32768 whose product with `scale`, rounded down, is `target`.
double drawGiving(int target, int scale) {
    const int k = (target * 32768 + scale - 1) / scale;
    return k / 32768.0;
}

double valueDraw(int value) { return drawGiving(value, 256); }
double stepDraw(int step) { return drawGiving(step + 10, 22); }

Rgb entry(const PaletteTable& table, int i) {
    return {table.bytes[3 * i], table.bytes[3 * i + 1], table.bytes[3 * i + 2]};
}

PaletteTable generateFrom(std::initializer_list<double> draws) {
    resetFake().draws = draws;
    PaletteTable table{};
    generatePalette(table);
    EXPECT_FALSE(fake().drewPastScript);
    EXPECT_TRUE(fake().draws.empty()) << "generatePalette must take exactly six draws";
    return table;
}

// The example walk: starts (128, 0, 255), steps (+1, -10, +11).
PaletteTable examplePalette() { return generateFrom({0.5, 0.5, 0, 0, kLargestDraw, kLargestDraw}); }

} // namespace

TEST(GeneratePalette, WalksEachChannelAndReflectsAtTheEnds) {
    const PaletteTable table = examplePalette();
    struct Case {
        int index;
        Rgb colour;
    };
    const Case cases[] = {
        {0, {0, 0, 0}},       {1, {128, 0, 255}},   {2, {129, 0, 255}},   {3, {130, 10, 244}},
        {4, {131, 20, 233}},  {127, {254, 210, 57}}, {128, {255, 220, 68}}, {129, {255, 230, 79}},
        {130, {254, 240, 90}}, {255, {129, 60, 112}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(entry(table, c.index), c.colour) << "entry " << c.index;
    }
}

TEST(GeneratePalette, ChannelSequencesAtTheBounds) {
    struct Case {
        const char* what;
        int start, step;
        std::array<int, 6> red;
    };
    const Case cases[] = {
        {"reaching 255 exactly does not reflect there", 235, 10, {235, 245, 255, 255, 245, 235}},
        {"starting at 0 going down repeats 0 once", 0, -7, {0, 0, 7, 14, 21, 28}},
        {"a step of 0 keeps the channel", 77, 0, {77, 77, 77, 77, 77, 77}},
        {"the largest step", 250, 11, {250, 250, 239, 228, 217, 206}},
    };
    for (const Case& c : cases) {
        const PaletteTable table = generateFrom({valueDraw(c.start), stepDraw(c.step), 0, 0.5, 0, 0.5});
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(table.bytes[3 * (i + 1)], c.red[i]) << c.what << ", entry " << i + 1;
        }
    }
}

TEST(GeneratePalette, NeighboursDifferByAtMostElevenAndEntryZeroStaysBlack) {
    for (int k = 0; k < 32768; k += 1237) {
        const double u = k / 32768.0;
        const PaletteTable table = generateFrom({u, u, 1 - u - 1 / 32768.0, u, u / 2, 1 - u - 1 / 32768.0});
        EXPECT_EQ(entry(table, 0), (Rgb{0, 0, 0}));
        for (int i = 2; i < 256; ++i) {
            for (int c = 0; c < 3; ++c) {
                ASSERT_LE(std::abs(table.bytes[3 * i + c] - table.bytes[3 * (i - 1) + c]), 11);
            }
        }
    }
}

TEST(UploadPaletteRange, SendsEachEntryOfTheRangeInAscendingOrder) {
    const PaletteTable table = examplePalette();
    struct Case {
        int first, last;
        int calls;
    };
    const Case cases[] = {{0, 255, 256}, {1, 255, 255}, {7, 7, 1}, {8, 7, 0}, {255, 1, 0}};
    for (const Case& c : cases) {
        resetFake();
        uploadPaletteRange(table, c.first, c.last);
        const std::vector<Call> calls = callsOf(CallKind::SetPaletteEntry);
        ASSERT_EQ(static_cast<int>(calls.size()), c.calls) << c.first << ".." << c.last;
        for (int n = 0; n < c.calls; ++n) {
            const int index = c.first + n;
            EXPECT_EQ(calls[n].ints[0], index);
            EXPECT_EQ((Rgb{calls[n].ints[1], calls[n].ints[2], calls[n].ints[3]}), entry(table, index));
        }
    }
}

TEST(RotatePalette, AfterKRotationsEntryNHoldsGeneratedEntryOnePlusNMinusOnePlusK) {
    const PaletteTable generated = examplePalette();
    PaletteTable table = generated;
    ScratchTable scratch{};
    std::memset(scratch.bytes, 0xAB, sizeof scratch.bytes);
    for (int k = 1; k <= 510; ++k) {
        rotatePalette(table, scratch);
        if (k == 1 || k == 2 || k == 254 || k == 255 || k == 256 || k == 510) {
            EXPECT_EQ(entry(table, 0), (Rgb{0, 0, 0})) << "after " << k;
            for (int n = 1; n < 256; ++n) {
                ASSERT_EQ(entry(table, n), entry(generated, 1 + (n - 1 + k) % 255)) << "after " << k << ", entry " << n;
            }
        }
    }
    EXPECT_EQ(std::memcmp(table.bytes, generated.bytes, sizeof table.bytes), 0);
    EXPECT_EQ(scratch.bytes[765], 0xAB) << "the scratch table's entry 255 is never written";
}

TEST(CopyBlock, CopiesWholeWordsThenTheTail) {
    struct Case {
        std::uint32_t count;
        int destinationOffset, sourceOffset;
    };
    const Case cases[] = {{0, 0, 0}, {3, 0, 0}, {4, 1, 3}, {765, 0, 3}, {762, 3, 3}, {7, 2, 1}};
    for (const Case& c : cases) {
        std::array<std::uint8_t, 800> source{};
        std::array<std::uint8_t, 800> destination{};
        for (std::size_t i = 0; i < source.size(); ++i) {
            source[i] = static_cast<std::uint8_t>(i * 7 + 1);
        }
        destination.fill(0xEE);
        copyBlock(destination.data() + c.destinationOffset, source.data() + c.sourceOffset, c.count);
        for (int i = 0; i < static_cast<int>(destination.size()); ++i) {
            const int from = i - c.destinationOffset;
            const bool inside = from >= 0 && from < static_cast<int>(c.count);
            ASSERT_EQ(destination[i], inside ? source[c.sourceOffset + from] : 0xEE)
                << "count " << c.count << ", byte " << i;
        }
    }
}
