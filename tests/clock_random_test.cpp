#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <limits>
#include <set>

#include "platform/clock_random.h"

TEST(SeedFromSeconds, TruncatesTowardZeroAndSaturatesLowOutsideTheRange) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    struct Case {
        double seconds;
        std::int32_t seed;
    };
    const Case cases[] = {
        {12.9, 12},
        {-12.9, -12},
        {0.999, 0},
        {-0.999, 0},
        {2147483647.9, 2147483647},
        {2147483648.0, INT32_MIN},
        {1e300, INT32_MIN},
        {infinity, INT32_MIN},
        {-2147483648.0, INT32_MIN},
        {-2147483647.5, -2147483647},
        {-2147483648.5, INT32_MIN},
        {-infinity, INT32_MIN},
        {nan, INT32_MIN},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(seedFromSeconds(c.seconds), c.seed) << c.seconds;
    }
}

TEST(RandomUnit, FirstValueAfterSeedingIsTheSequencesSecond) {
    struct Case {
        double seconds;
        std::int32_t seed;
    };
    const Case cases[] = {{12.9, 12}, {-7.5, -7}, {0, 0}, {2147483647.0, INT32_MAX},
                          {1e10, INT32_MIN}, {std::nan(""), INT32_MIN}};
    for (const Case& c : cases) {
        RandomSequence sequence{};
        startSequence(sequence, c.seed);
        nextInSequence(sequence);  // the value seeding throws away
        seedRandom(c.seconds);
        for (int i = 0; i < 13; ++i) {
            ASSERT_EQ(randomUnit(), nextInSequence(sequence) / 32768.0) << c.seconds << ", draw " << i;
        }
    }
}

TEST(RandomUnit, SameWholeSecondGivesTheSameDraws) {
    seedRandom(1000.1);
    std::vector<double> first;
    for (int i = 0; i < 13; ++i) first.push_back(randomUnit());
    seedRandom(1000.9);
    for (int i = 0; i < 13; ++i) EXPECT_EQ(randomUnit(), first[i]);
    seedRandom(1001.0);
    int same = 0;
    for (int i = 0; i < 13; ++i) same += randomUnit() == first[i];
    EXPECT_LT(same, 13);
}

// Every value is k/32768 with k in 0..32767, and over many draws every k turns up about
// equally often.
TEST(RandomUnit, ValuesAreFifteenBitFractionsSpreadEvenly) {
    seedRandom(4242);
    constexpr int kDraws = 32768 * 64;
    std::vector<int> counts(32768);
    for (int i = 0; i < kDraws; ++i) {
        const double value = randomUnit();
        ASSERT_GE(value, 0.0);
        ASSERT_LT(value, 1.0);
        const double k = value * 32768;
        ASSERT_EQ(k, std::floor(k));
        ++counts[static_cast<int>(k)];
    }
    double chiSquare = 0;
    for (int count : counts) {
        chiSquare += (count - 64.0) * (count - 64.0) / 64.0;
        ASSERT_GT(count, 0);
    }
    // 32767 degrees of freedom: mean 32767, standard deviation 256.
    EXPECT_LT(std::fabs(chiSquare - 32767), 6 * 256);
}

TEST(Clock, ReadingsConvertCountsToSeconds) {
    EXPECT_EQ(secondsFromCount(0, 1e-9), 0.0);
    EXPECT_EQ(secondsFromCount(1500000000, 1.0 / 1e9), 1500000000 * (1.0 / 1e9));
    EXPECT_EQ(secondsFromCount(-3, 0.5), -1.5);
    EXPECT_EQ(secondsFromMilliseconds(0), 0.0);
    EXPECT_EQ(secondsFromMilliseconds(12345), 12345 * 0.001);
    EXPECT_EQ(secondsFromMilliseconds(UINT32_MAX), 4294967295 * 0.001);
    // A 32-bit millisecond count wraps to 0 after about 49.7 days.
    EXPECT_EQ(secondsFromMilliseconds(static_cast<std::uint32_t>(4294967296ULL + 5)), 5 * 0.001);
}

TEST(Clock, FollowsTheMonotonicCounter) {
    timespec before{};
    clock_gettime(CLOCK_MONOTONIC, &before);
    const double reading = clockSeconds();
    timespec after{};
    clock_gettime(CLOCK_MONOTONIC, &after);
    EXPECT_GE(reading, before.tv_sec + before.tv_nsec * 1e-9 - 1e-6);
    EXPECT_LE(reading, after.tv_sec + after.tv_nsec * 1e-9 + 1e-6);
    const double later = clockSeconds();
    EXPECT_GE(later, reading);
}
