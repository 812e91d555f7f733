#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/page_convert.h"
#include "platform/raster.h"
#include "tests/variants.h"

TEST(PaletteColour, KeepsSixBitsAndShowsEachLevelAsItsExactIntensity) {
    struct Case {
        int component;
        int shown;
    };
    const Case cases[] = {{0, 0}, {3, 0}, {4, 4}, {5, 4}, {6, 4}, {7, 4}, {8, 8},
                          {128, 129}, {252, 255}, {255, 255}, {127, 125}, {64, 64}};
    for (const Case& c : cases) {
        EXPECT_EQ(levelIntensity(paletteLevel(c.component)), c.shown) << c.component;
    }
    // Every level against floor(L x 255 / 63) worked in exact rational terms.
    for (int level = 0; level < 64; ++level) {
        const int shown = levelIntensity(static_cast<std::uint8_t>(level));
        EXPECT_LE(shown * 63, level * 255);
        EXPECT_GT((shown + 1) * 63, level * 255);
    }
}

TEST(PlacePicture, LargestWholeScaleCentred) {
    struct Case {
        int width, height;
        Placement placement;
    };
    const Case cases[] = {
        {640, 480, {1, 0, 0}},     {1024, 768, {1, 192, 144}}, {1920, 1080, {2, 320, 60}},
        {1280, 960, {2, 0, 0}},    {1279, 960, {1, 319, 240}}, {2560, 1440, {3, 320, 0}},
        {800, 480, {1, 80, 0}},
    };
    for (const Case& c : cases) {
        const Placement p = placePicture(c.width, c.height);
        EXPECT_EQ(p.scale, c.placement.scale) << c.width << "x" << c.height;
        EXPECT_EQ(p.offsetX, c.placement.offsetX) << c.width << "x" << c.height;
        EXPECT_EQ(p.offsetY, c.placement.offsetY) << c.width << "x" << c.height;
    }
}

// Every page pixel becomes a scale x scale block of its colour at the placement, and
// nothing outside the converted rows' blocks is touched.
TEST(ConvertRows, WritesEachPixelAsASharpBlockWithinTheRows) {
    std::vector<std::uint8_t> page(kPageWidth * kPageHeight);
    for (std::size_t i = 0; i < page.size(); ++i) {
        page[i] = static_cast<std::uint8_t>(i * 31 + i / kPageWidth);
    }
    std::uint32_t colours[256];
    for (int i = 0; i < 256; ++i) {
        colours[i] = 0x00010203u * static_cast<std::uint32_t>(i) + 0x00800000u;
    }
    struct Case {
        int width, height, first, last;
    };
    const Case cases[] = {{640, 480, 0, 479}, {1024, 768, 100, 196}, {1920, 1080, 0, 479}, {1920, 1080, 479, 479}};
    for (const Case& c : cases) {
        const Placement at = placePicture(c.width, c.height);
        const int pitch = c.width * 4 + 12;  // rows padded, as surfaces may be
        std::vector<std::uint8_t> target(static_cast<std::size_t>(pitch) * c.height, 0xEE);
        convertRows(page.data(), colours, target.data(), pitch, at, c.first, c.last);
        for (int y = 0; y < c.height; ++y) {
            for (int x = 0; x < c.width; ++x) {
                std::uint32_t pixel;
                std::memcpy(&pixel, target.data() + y * pitch + x * 4, 4);
                const int column = (x - at.offsetX) / at.scale;
                const int row = (y - at.offsetY) / at.scale;
                const bool inside = x >= at.offsetX && y >= at.offsetY && column < kPageWidth && row >= c.first &&
                                    row <= c.last && (y - at.offsetY) >= 0;
                const std::uint32_t expected = inside ? colours[page[row * kPageWidth + column]] : 0xEEEEEEEEu;
                ASSERT_EQ(pixel, expected) << c.width << "x" << c.height << " at " << x << "," << y;
            }
        }
    }
}

// The same blocks for a screen whose colormap is the palette: the indices themselves.
TEST(CopyRows, WritesEachIndexAsASharpBlockWithinTheRows) {
    std::vector<std::uint8_t> page(kPageWidth * kPageHeight);
    for (std::size_t i = 0; i < page.size(); ++i) {
        page[i] = static_cast<std::uint8_t>(i * 31 + i / kPageWidth);
    }
    struct Case {
        int width, height, first, last;
    };
    const Case cases[] = {{640, 480, 0, 479}, {1024, 768, 100, 196}, {1920, 1080, 0, 479}, {1280, 960, 479, 479}};
    for (const Case& c : cases) {
        const Placement at = placePicture(c.width, c.height);
        const int pitch = c.width + 7;  // rows padded, as surfaces may be
        std::vector<std::uint8_t> target(static_cast<std::size_t>(pitch) * c.height, 0xEE);
        copyRows(page.data(), target.data(), pitch, at, c.first, c.last);
        for (int y = 0; y < c.height; ++y) {
            for (int x = 0; x < pitch; ++x) {
                const int column = (x - at.offsetX) / at.scale;
                const int row = (y - at.offsetY) / at.scale;
                const bool inside = x >= at.offsetX && y >= at.offsetY && x < at.offsetX + kPageWidth * at.scale &&
                                    row >= c.first && row <= c.last && row < kPageHeight;
                const std::uint8_t expected = inside ? page[row * kPageWidth + column] : 0xEE;
                ASSERT_EQ(target[static_cast<std::size_t>(y) * pitch + x], expected)
                    << c.width << "x" << c.height << " at " << x << "," << y;
            }
        }
    }
}

namespace {

// Every way of converting a row at scale 1 this processor can run, each held to the
// definition; ConvertRows above checks the one convertRows chooses.
using LineConverter = Variant<void(const std::uint8_t* source, const std::uint32_t* colours, std::uint32_t* line)>;

std::vector<LineConverter> convertersHere() {
    std::vector<LineConverter> converters{{"Scalar", convertLine}};
#if DISCTRAIL_X86
    if (cpuHasAvx2()) {
        converters.push_back({"Gathering", convertLineGathering});
    }
#endif
    return converters;
}

class ConvertLine : public ::testing::TestWithParam<LineConverter> {};

} // namespace

INSTANTIATE_TEST_SUITE_P(Converters, ConvertLine, ::testing::ValuesIn(convertersHere()), VariantName());

TEST_P(ConvertLine, EachPixelIsItsIndexsColourAndNothingPastTheRow) {
    std::uint8_t source[kPageWidth];
    std::uint32_t colours[256];
    for (int i = 0; i < 256; ++i) {
        colours[i] = 0x9E3779B9u * static_cast<std::uint32_t>(i + 1);
    }
    for (int pattern = 0; pattern < 4; ++pattern) {
        for (int x = 0; x < kPageWidth; ++x) {
            source[x] = static_cast<std::uint8_t>(pattern == 0 ? x : pattern == 1 ? 255 - x : pattern == 2 ? 0 : x * 7 + 3);
        }
        std::uint32_t line[kPageWidth + 1];
        line[kPageWidth] = 0xDEADBEEF;
        GetParam().run(source, colours, line);
        for (int x = 0; x < kPageWidth; ++x) {
            ASSERT_EQ(line[x], colours[source[x]]) << "pattern " << pattern << " at " << x;
        }
        EXPECT_EQ(line[kPageWidth], 0xDEADBEEFu) << "pattern " << pattern;
    }
}
