#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "platform/raster.h"
#include "tests/raster_reference.h"
#include "tests/variants.h"

namespace {

constexpr int kGuard = 4096;
constexpr std::uint8_t kGuardByte = 0xA5;

// A page with guard bytes on both sides, so that a write past either end shows.
struct GuardedPage {
    std::unique_ptr<std::array<std::uint8_t, kGuard + kPageWidth * kPageHeight + kGuard>> bytes =
        std::make_unique<std::array<std::uint8_t, kGuard + kPageWidth * kPageHeight + kGuard>>();

    GuardedPage() {
        bytes->fill(kGuardByte);
        std::fill(page(), page() + kPageWidth * kPageHeight, 0);
    }
    std::uint8_t* page() { return bytes->data() + kGuard; }
    std::uint8_t at(int column, int row) { return page()[row * kPageWidth + column]; }
    bool guardsIntact() {
        for (int i = 0; i < kGuard; ++i) {
            if ((*bytes)[i] != kGuardByte || (*bytes)[kGuard + kPageWidth * kPageHeight + i] != kGuardByte) {
                return false;
            }
        }
        return true;
    }
    int count(std::uint8_t value) {
        return static_cast<int>(std::count(page(), page() + kPageWidth * kPageHeight, value));
    }
    // The filled run of a row as first and last column; {1, 0} when the row is empty.
    std::pair<int, int> run(int row, std::uint8_t value) {
        int first = -1, last = -1;
        for (int column = 0; column < kPageWidth; ++column) {
            if (at(column, row) == value) {
                if (first < 0) first = column;
                EXPECT_TRUE(last < 0 || last == column - 1) << "row " << row << " has a gap";
                last = column;
            }
        }
        return first < 0 ? std::pair{1, 0} : std::pair{first, last};
    }
};

// Every variant of the raster this processor can run, each held to every case below:
// the one rasterCircle chooses, and each build of the rule on its own.
using RasterVariant = Variant<DirtyRect(std::uint8_t* page, float x, float y, float radius, std::int32_t colour)>;

std::vector<RasterVariant> variantsHere() {
    std::vector<RasterVariant> variants{{"Chosen", rasterCircle}, {"Portable", rasterCirclePortable}};
#if DISCTRAIL_X86
    if (cpuHasAvx2()) {
        variants.push_back({"Avx2", rasterCircleAvx2});
    }
#endif
    return variants;
}

class RasterCircle : public ::testing::TestWithParam<RasterVariant> {
protected:
    DirtyRect draw(std::uint8_t* page, float x, float y, float radius, std::int32_t colour) {
        return GetParam().run(page, x, y, radius, colour);
    }
};

} // namespace

INSTANTIATE_TEST_SUITE_P(Variants, RasterCircle, ::testing::ValuesIn(variantsHere()), VariantName());

TEST_P(RasterCircle, RadiusSixteenCoversTheTabledHalfWidths) {
    GuardedPage page;
    const DirtyRect rows = draw(page.page(), 100, 100, 16, 7);
    EXPECT_EQ(rows.top, 84);
    EXPECT_EQ(rows.bottom, 116);
    const int halfWidths[] = {16, 16, 16, 16, 15, 15, 15, 14, 14, 13, 12, 11, 10, 9, 8, 6, 3};
    for (int offset = 0; offset <= 16; ++offset) {
        for (int row : {100 - offset, 100 + offset}) {
            EXPECT_EQ(page.run(row, 7), (std::pair{100 - halfWidths[offset], 100 + halfWidths[offset]}))
                << "row " << row;
        }
    }
    EXPECT_EQ(page.run(83, 7), (std::pair{1, 0}));
    EXPECT_EQ(page.run(117, 7), (std::pair{1, 0}));
    EXPECT_EQ(page.count(7), 837);
}

TEST_P(RasterCircle, FractionalRadiiReachTheCeilingLeftAndTheFloorRight) {
    struct Case {
        float x, radius;
        int firstRow, lastRow;
        int centreFirst, centreLast;
        int pixels;  // 0: not checked
    };
    const Case cases[] = {
        {100, 16.5f, 84, 116, 83, 116, 874},
        {100, 32.7f, 67, 133, 67, 132, 0},
        {100.5f, 16, 84, 116, 85, 117, 837},  // the centre rounds half away from zero
        {99.5f, 16, 84, 116, 84, 116, 837},
    };
    for (const Case& c : cases) {
        GuardedPage page;
        const DirtyRect rows = draw(page.page(), c.x, 100, c.radius, 9);
        EXPECT_EQ(rows.top, c.firstRow) << c.radius;
        EXPECT_EQ(rows.bottom, c.lastRow) << c.radius;
        EXPECT_EQ(page.run(c.firstRow - 1, 9), (std::pair{1, 0}));
        EXPECT_EQ(page.run(c.lastRow + 1, 9), (std::pair{1, 0}));
        EXPECT_NE(page.run(c.firstRow, 9), (std::pair{1, 0}));
        EXPECT_EQ(page.run(100, 9), (std::pair{c.centreFirst, c.centreLast})) << c.radius;
        if (c.pixels != 0) {
            EXPECT_EQ(page.count(9), c.pixels) << c.radius;
        }
    }
}

// Centred at x = 16, cx - r = -0.7 truncates up to 0, so rows 4 to 6 from the centre
// start at column 1; a hundred columns right the same rows start 16 left of the centre.
TEST_P(RasterCircle, LeftEndRoundsTowardZeroWhenNegative) {
    GuardedPage left;
    draw(left.page(), 16.0f, 100.0f, 16.7f, 3);
    GuardedPage right;
    draw(right.page(), 116.0f, 100.0f, 16.7f, 3);
    for (int offset = 4; offset <= 6; ++offset) {
        for (int row : {100 - offset, 100 + offset}) {
            EXPECT_EQ(left.run(row, 3).first, 1) << "row " << row;
            EXPECT_EQ(right.run(row, 3).first, 100) << "row " << row;
        }
    }
    // Apart from that one column, the rule runs as it does away from the edge: every row
    // of the left disc is the right one's moved 100 columns, its start one column later.
    for (int row = 0; row < kPageHeight; ++row) {
        const auto [first, last] = right.run(row, 3);
        const auto expected = first > last ? std::pair{1, 0} : std::pair{std::max(first - 100 + 1, 0), last - 100};
        ASSERT_EQ(left.run(row, 3), expected) << "row " << row;
    }
}

TEST_P(RasterCircle, ClipsAtEachEdgeWithoutWrapping) {
    struct Case {
        const char* what;
        float x, y, radius;
    };
    const Case cases[] = {
        {"right edge", 630, 200, 20},
        {"left edge", 5, 200, 20},
        {"top edge", 300, 3, 20},
        {"bottom edge", 300, 476, 20},
        {"bottom-right corner", 639.4f, 479.4f, 48},
        {"top-left corner", -0.4f, -0.4f, 48},
    };
    for (const Case& c : cases) {
        GuardedPage clipped;
        draw(clipped.page(), c.x, c.y, c.radius, 5);
        EXPECT_TRUE(clipped.guardsIntact()) << c.what;
        // The same disc drawn in the middle of the page and moved back must agree on
        // every pixel the page holds.
        const int shiftX = 320 - static_cast<int>(std::lround(c.x));
        const int shiftY = 240 - static_cast<int>(std::lround(c.y));
        GuardedPage middle;
        draw(middle.page(), c.x + shiftX, c.y + shiftY, c.radius, 5);
        for (int row = 0; row < kPageHeight; ++row) {
            for (int column = 0; column < kPageWidth; ++column) {
                const int mc = column + shiftX, mr = row + shiftY;
                const bool inMiddle = mc >= 0 && mc < kPageWidth && mr >= 0 && mr < kPageHeight && middle.at(mc, mr) == 5;
                ASSERT_EQ(clipped.at(column, row) == 5, inMiddle) << c.what << " at " << column << "," << row;
            }
        }
    }
    GuardedPage right;
    draw(right.page(), 630, 200, 20, 5);
    EXPECT_EQ(right.run(200, 5), (std::pair{610, 639}));
    EXPECT_EQ(right.at(0, 201), 0) << "nothing wraps onto the next row";
}

TEST_P(RasterCircle, PixelValueIsTheColoursLowByteAndOtherPixelsStay) {
    struct Case {
        std::int32_t colour;
        std::uint8_t pixel;
    };
    const Case cases[] = {{1, 1}, {255, 255}, {256, 0}, {0x1FF, 0xFF}, {-1, 0xFF}};
    for (const Case& c : cases) {
        GuardedPage page;
        std::fill(page.page(), page.page() + kPageWidth * kPageHeight, 0x42);
        draw(page.page(), 100, 100, 16, c.colour);
        EXPECT_EQ(page.at(100, 100), c.pixel);
        EXPECT_EQ(page.count(c.pixel), c.pixel == 0x42 ? kPageWidth * kPageHeight : 837);
        EXPECT_EQ(page.at(100, 83), 0x42);
    }
}

TEST_P(RasterCircle, CentreRoundsHalfAwayFromZeroWithoutFloatRounding) {
    struct Case {
        float x;
        int column;
    };
    // 0.49999997 + 0.5 rounds to 1 as a float; the centre must still be column 0.
    const Case cases[] = {{100.5f, 101}, {99.5f, 100}, {0.49999997f, 0}, {0.5f, 1}, {-0.5f, -1}, {-0.49999997f, 0}, {2.5f, 3}};
    for (const Case& c : cases) {
        GuardedPage page;
        draw(page.page(), c.x, 100, 0, 1);
        if (c.column >= 0) {
            EXPECT_EQ(page.run(100, 1), (std::pair{c.column, c.column})) << c.x;
        } else {
            EXPECT_EQ(page.count(1), 0) << c.x;
        }
    }
}

// Arguments no disc of the program has, which a building block must survive: nothing
// outside the page is written, nothing undefined happens, and every call ends quickly.
TEST_P(RasterCircle, AnyArgumentsStayOnThePageAndEnd) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float infinity = std::numeric_limits<float>::infinity();
    const float huge = std::numeric_limits<float>::max();
    struct Case {
        const char* what;
        float x, y, radius;
        int pixels;  // -1: only safety is checked
    };
    const Case cases[] = {
        {"NaN radius", 320, 240, nan, 0},
        {"NaN centre", nan, 240, 16, 0},
        {"NaN row", 320, nan, 16, 0},
        {"infinite radius", 320, 240, infinity, 0},
        {"negative infinite radius", 320, 240, -infinity, 0},
        {"infinite centre", infinity, -infinity, 16, 0},
        {"radius of 1e9", 320, 240, 1e9f, 0},
        {"negative radius", 320, 240, -5, 0},
        {"zero radius", 320, 240, 0, 1},
        {"centre far right", 1e30f, 240, 16, 0},
        {"centre far left", -1e30f, 240, 1e5f, 0},
        {"largest floats", huge, huge, huge, 0},
        {"radius covering the page", 320, 240, 1048576, kPageWidth * kPageHeight},
        {"large disc whose edge crosses the page", -400000, 240, 400300, -1},
        {"large disc centred far below", 320, 1000000, 999800, -1},
        {"centre at the limit", 4194304, 4194304, 1048576, 0},
    };
    for (const Case& c : cases) {
        GuardedPage page;
        const DirtyRect rows = draw(page.page(), c.x, c.y, c.radius, 200);
        EXPECT_TRUE(page.guardsIntact()) << c.what;
        const int pixels = page.count(200);
        if (c.pixels >= 0) {
            EXPECT_EQ(pixels, c.pixels) << c.what;
        }
        EXPECT_EQ(rows.empty(), pixels == 0) << c.what;
    }
}

TEST_P(RasterCircle, ReportsTheRowsItWrote) {
    GuardedPage page;
    DirtyRect rows = draw(page.page(), 300, 5, 32.7f, 1);
    EXPECT_EQ(rows.top, 0);
    EXPECT_EQ(rows.bottom, 5 + 33);
    rows = draw(page.page(), 700, 240, 16, 1);
    EXPECT_GT(rows.top, rows.bottom);
}

// Every radius in sixteenths up to 50, and a spread of larger ones, at centres inside,
// on and beyond each edge: the raster must give the literal rule's pixels exactly, and
// report the rectangle it wrote.
TEST_P(RasterCircle, AgreesWithTheLiteralRuleEverywhere) {
    std::vector<float> radii;
    for (int sixteenths = 0; sixteenths <= 50 * 16; ++sixteenths) {
        radii.push_back(sixteenths / 16.0f);
    }
    for (float r : {-0.999f, -0.5f, -0.0f, 16.7f, 31.999914f, 32.7f, 47.99999f, 63.5f, 100.25f, 241.7f, 333.3f, 700.9f}) {
        radii.push_back(r);
    }
    const float centres[][2] = {{320, 240}, {100.5f, 99.5f}, {-0.5f, 0.49999997f}, {16, 100}, {639.4f, 479.6f},
                                {-30.2f, 240}, {700, -20}, {320, 520.5f}, {5.5f, 5.5f}};
    std::vector<std::uint8_t> expected(kPageWidth * kPageHeight);
    std::vector<std::uint8_t> actual(kPageWidth * kPageHeight);
    for (float r : radii) {
        for (const auto& centre : centres) {
            std::fill(expected.begin(), expected.end(), 0);
            std::fill(actual.begin(), actual.end(), 0);
            referenceCircle(expected.data(), centre[0], centre[1], r, 77);
            const DirtyRect rows = draw(actual.data(), centre[0], centre[1], r, 77);
            ASSERT_EQ(actual, expected) << "r " << r << " at " << centre[0] << "," << centre[1];
            DirtyRect written = kNothingDrawn;
            for (int row = 0; row < kPageHeight; ++row) {
                for (int column = 0; column < kPageWidth; ++column) {
                    if (expected[row * kPageWidth + column] != 0) {
                        written = DirtyRect{std::min(written.top, row), std::max(written.bottom, row),
                                            std::min(written.left, column), std::max(written.right, column)};
                    }
                }
            }
            const std::string where = "r " + std::to_string(r) + " at " + std::to_string(centre[0]) + "," + std::to_string(centre[1]);
            ASSERT_EQ(rows.top, written.top) << where;
            ASSERT_EQ(rows.bottom, written.bottom) << where;
            // The columns are those of the centre row, the widest run: exact when that
            // row is on the page, and still a bound on every write when it is not.
            const bool centreRowShown = std::lround(centre[1]) >= 0 && std::lround(centre[1]) < kPageHeight;
            if (centreRowShown || written.empty()) {
                ASSERT_EQ(rows.left, written.left) << where;
                ASSERT_EQ(rows.right, written.right) << where;
            } else {
                ASSERT_LE(rows.left, written.left) << where;
                ASSERT_GE(rows.right, written.right) << where;
            }
        }
    }
}
