#include <gtest/gtest.h>

#include <cmath>

#include "demo/disc.h"
#include "tests/disc_reference.h"
#include "tests/fake_platform.h"

namespace {

constexpr double kLargestDraw = 32767.0 / 32768.0;

DiscState initFrom(std::initializer_list<double> draws) {
    resetFake().draws = draws;
    DiscState disc{};
    initDisc(disc);
    EXPECT_FALSE(fake().drewPastScript);
    EXPECT_TRUE(fake().draws.empty()) << "initDisc must take exactly seven draws";
    return disc;
}

// One frame with the radius held at exactly 32 (phase and phaseStep 0: sin 0 = 0).
DiscState stepWithRadius32(float x, float y, float dx, float dy) {
    resetFake();
    DiscState disc{x, y, dx, dy, 0, 5, 1, 0, 0};
    stepDisc(disc);
    EXPECT_EQ(disc.radius, 32.0f);
    return disc;
}

} // namespace

TEST(InitDisc, SetsEveryFieldButRadiusFromSevenDraws) {
    resetFake();
    DiscState disc{};
    disc.radius = 7.25f;
    fake().draws = {0.0, 0.5, 0.5, 0.0, 0.25, kLargestDraw, 0.0};
    initDisc(disc);
    EXPECT_EQ(disc.x, static_cast<float>(42.6666666666667));
    EXPECT_EQ(disc.y, 240.0f);
    EXPECT_EQ(disc.dx, 1.0f);                   // a sign draw of 0.5 counts as positive
    EXPECT_EQ(disc.dy, -0.5000152587890625f);   // below 0.5: negative, magnitude 1 - u'/2
    EXPECT_EQ(disc.phaseStep, 2.0f);
    EXPECT_EQ(disc.phase, 0.0f);
    EXPECT_EQ(disc.colour, 1.0f);
    EXPECT_EQ(disc.colourStep, 1.0f);
    EXPECT_EQ(disc.radius, 7.25f);
}

TEST(InitDisc, VelocityFromSignAndMagnitudeDraws) {
    struct Case {
        double sign, magnitude;
        float velocity;
    };
    const Case cases[] = {
        {0.0, 0.0, -1.0f},
        {0.0, kLargestDraw, -0.5000152587890625f},
        {0.499969482421875, 0.5, -0.75f},
        {0.5, 0.0, 1.0f},
        {0.5, kLargestDraw, 0.5000152587890625f},
        {kLargestDraw, 0.25, 0.875f},
    };
    for (const Case& c : cases) {
        const DiscState disc = initFrom({0, 0, c.sign, c.magnitude, c.sign, c.magnitude, 0});
        EXPECT_EQ(disc.dx, c.velocity) << c.sign << " " << c.magnitude;
        EXPECT_EQ(disc.dy, c.velocity) << c.sign << " " << c.magnitude;
    }
}

TEST(InitDisc, StartsWithinTheMarginsOfEveryEdge) {
    const DiscState low = initFrom({0, 0, 0, 0, 0, 0, 0});
    const DiscState high = initFrom({kLargestDraw, kLargestDraw, 0, 0, 0, 0, kLargestDraw});
    EXPECT_EQ(high.x, 597.31640625f);
    EXPECT_EQ(low.y, 32.0f);
    EXPECT_EQ(high.y, 447.9873046875f);
    EXPECT_EQ(low.phaseStep, 2.0f);
    EXPECT_EQ(high.phaseStep, 2.999969482421875f);
}

// tests/disc_exhaustive_test.cpp checks the column for every draw; these check that
// initDisc takes it from the first draw.
TEST(InitDisc, StartColumnIsTheExactOneForTheFirstDraw) {
    for (int k : {0, 1, 9999, 16384, 32767}) {
        const DiscState disc = initFrom({k / 32768.0, 0, 0, 0, 0, 0, 0});
        EXPECT_EQ(disc.x, exactStartX(k)) << "k = " << k;
    }
}

// tests/disc_exhaustive_test.cpp checks the radius for every phase; these check that
// stepDisc takes it from the phase it has just advanced.
TEST(StepDisc, RadiusIsTheExactSineOfTheAdvancedPhase) {
    struct Case {
        float phase, phaseStep;
    };
    const Case cases[] = {{0, 2}, {43.5f, 2.5f}, {88, 2}, {178.25f, 2.999969482421875f}, {268, 2}, {357.5f, 2.5f},
                          {359, 2.25f}};
    for (const Case& c : cases) {
        resetFake();
        DiscState disc{320, 240, 1, 1, c.phaseStep, 5, 1, 0, c.phase};
        stepDisc(disc);
        const float advanced = c.phase + c.phaseStep > 360 ? c.phase + c.phaseStep - 360 : c.phase + c.phaseStep;
        EXPECT_EQ(disc.phase, advanced) << c.phase << " + " << c.phaseStep;
        EXPECT_EQ(disc.radius, exactRadius(advanced)) << c.phase << " + " << c.phaseStep;
        EXPECT_EQ(callsOf(CallKind::FillCircle).back().floats[2], disc.radius);
    }
}

TEST(StepDisc, PhaseOfExactly360StaysForItsFrame) {
    resetFake().draws = {0.5, 0.5, 0.5, 0, 0.5, 0, 0};  // phaseStep 2
    DiscState disc{};
    initDisc(disc);
    for (int frame = 1; frame <= 180; ++frame) {
        stepDisc(disc);
    }
    EXPECT_EQ(disc.phase, 360.0f);
    EXPECT_EQ(disc.radius, exactRadius(360.0f));
    EXPECT_NEAR(disc.radius, 31.999914, 0.0000005);
    EXPECT_LT(disc.radius, 32.0f);
    stepDisc(disc);
    EXPECT_EQ(disc.phase, 2.0f);
}

TEST(StepDisc, DrawsWhereThePreviousFrameLeftItThenMoves) {
    resetFake();
    DiscState disc{100.25f, 200.5f, 0.75f, -0.625f, 0, 9, 1, 0, 0};
    stepDisc(disc);
    const std::vector<Call> fills = callsOf(CallKind::FillCircle);
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0].floats[0], 100.25f);
    EXPECT_EQ(fills[0].floats[1], 200.5f);
    EXPECT_EQ(fills[0].floats[2], 32.0f);
    EXPECT_EQ(fills[0].ints[0], 9);
    EXPECT_EQ(disc.x, 101.0f);
    EXPECT_EQ(disc.y, 199.875f);
    EXPECT_EQ(disc.colour, 10.0f);
}

TEST(StepDisc, ColourRampOverFiveHundredTenFrames) {
    resetFake().draws = {0.5, 0.5, 0.5, 0, 0.5, 0, 0};
    DiscState disc{};
    initDisc(disc);
    for (int frame = 1; frame <= 510; ++frame) {
        stepDisc(disc);
        const int expected = frame <= 255 ? frame : frame <= 509 ? 510 - frame : frame - 508;
        ASSERT_EQ(callsOf(CallKind::FillCircle).back().ints[0], expected) << "frame " << frame;
        const float expectedStep = (frame >= 254 && frame < 508) ? -1.0f : 1.0f;
        ASSERT_EQ(disc.colourStep, expectedStep) << "frame " << frame;
    }
}

// The radius is held at 32, so the moved centre decides each edge test.
TEST(StepDisc, EdgesPointTheVelocityInwardAndRetreat) {
    struct Case {
        const char* what;
        float x, y, dx, dy;
        float x2, y2, dx2, dy2;
    };
    const Case cases[] = {
        {"right edge touched exactly", 607.5f, 240, 0.5f, 0.5f, 607, 240.5f, -0.5f, 0.5f},
        {"right edge just missed", 607.25f, 240, 0.5f, 0.5f, 607.75f, 240.5f, 0.5f, 0.5f},
        {"left edge touched exactly", 32.75f, 240, -0.75f, 0.5f, 33.5f, 240.5f, 0.75f, 0.5f},
        {"left edge just missed", 33, 240, -0.75f, 0.5f, 32.25f, 240.5f, -0.75f, 0.5f},
        {"bottom edge touched exactly", 300, 447.5f, 0.5f, 0.5f, 300.5f, 447, 0.5f, -0.5f},
        {"top edge touched exactly", 300, 32.5f, 0.5f, -0.5f, 300.5f, 33, 0.5f, 0.5f},
        {"right edge still reached while retreating", 608.5f, 240, -0.5f, 0.5f, 607, 240.5f, -0.5f, 0.5f},
        {"left edge still reached while retreating", 31.5f, 240, 0.5f, 0.5f, 33, 240.5f, 0.5f, 0.5f},
        {"bottom edge still reached while retreating", 300, 448.5f, 0.5f, -0.5f, 300.5f, 447, 0.5f, -0.5f},
        {"top edge still reached while retreating", 300, 31.5f, 0.5f, 0.5f, 300.5f, 33, 0.5f, 0.5f},
        {"corner", 607.5f, 447.5f, 0.5f, 0.5f, 607, 447, -0.5f, -0.5f},
    };
    for (const Case& c : cases) {
        const DiscState disc = stepWithRadius32(c.x, c.y, c.dx, c.dy);
        EXPECT_EQ(disc.x, c.x2) << c.what;
        EXPECT_EQ(disc.y, c.y2) << c.what;
        EXPECT_EQ(disc.dx, c.dx2) << c.what;
        EXPECT_EQ(disc.dy, c.dy2) << c.what;
    }
}

// The radius at phase 360 is 32 less a little; with the centre one float step past 608
// the sum lies below 640 but rounds to 640 as a float. Only the unrounded sum keeps the
// disc from bouncing.
TEST(StepDisc, EdgeTestsCompareTheUnroundedSum) {
    resetFake();
    const float x = 607.5f + 0.00006103515625f;  // 608 + 2^-14 after the move
    DiscState disc{x, 240, 0.5f, 0.5f, 2, 5, 1, 0, 358};
    stepDisc(disc);
    ASSERT_EQ(disc.phase, 360.0f);
    volatile float roundedSum = disc.radius + 608.00006103515625f;
    ASSERT_EQ(roundedSum, 640.0f) << "the case must be one a float sum gets wrong";
    EXPECT_EQ(disc.dx, 0.5f);
    EXPECT_EQ(disc.x, 608.00006103515625f);
}
