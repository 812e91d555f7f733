#include "demo/disc.h"

#include <cmath>

#include "platform/clock_random.h"
#include "platform/display.h"

// The disc's numbers are defined as computed with a 64-bit significand and rounded to a
// float only where a field is stored. They are computed here in double, which gives the
// same float for every input the program can reach:
// - Every field is a multiple of 2^-19 below 2^10 (x and y stay above 16, the radius at
//   16 or more, the velocities and phaseStep are multiples of 2^-16, the phase of 2^-15,
//   the colour whole). A sum or difference of two of them, or twice one, therefore needs
//   at most 30 significant bits: it is exact in double as in the wider format, so every
//   move, bounce and edge test comes out the same. The other fields of initDisc are a
//   draw k/32768 times 416, 1 or 0.5, plus a whole number: exact as well.
// - The first column and the radius round more than once, and rounding through 53 bits
//   could in principle end on another float than rounding through 64. For the 32768
//   draws and the 11,796,480 phases that can occur (the multiples of 2^-15 in (0, 360])
//   it does not: tests/disc_exhaustive_test.cpp checks every one of them against the
//   exact values on every build. That check is of the expressions as written, each
//   product and sum rounded on its own; -ffp-contract=off and no fast-math hold the
//   compiler to them.

namespace {

// Written to fifteen significant digits, these are not 1664/3, 128/3 and pi/180: the
// doubles nearest the decimals are what place the disc and size it.
constexpr double kStartWidth = 554.666666666667;         // screen width x 13/15
constexpr double kStartMargin = 42.6666666666667;        // screen width x 1/15
constexpr double kRadiansPerDegree = 0.0174532777777778; // 3.14159 / 180

constexpr double kScreenWidth = 640;
constexpr double kScreenHeight = 480;

// A velocity whose sign comes from one draw and whose magnitude, in (0.5, 1], from the next.
float drawVelocity() {
    const double sign = randomUnit();
    const double magnitude = randomUnit();
    if (sign < 0.5) {
        return static_cast<float>(magnitude * 0.5 - 1);
    }
    return static_cast<float>(1 - magnitude * 0.5);
}

} // namespace

float discStartX(double draw) {
    return static_cast<float>(draw * kStartWidth + kStartMargin);
}

float discRadius(float phase) {
    return static_cast<float>(std::sin(kRadiansPerDegree * phase) * 16 + 32);
}

void initDisc(DiscState& disc) {
    disc.x = discStartX(randomUnit());
    disc.y = static_cast<float>(randomUnit() * 416 + 32);
    disc.dx = drawVelocity();
    disc.dy = drawVelocity();
    disc.phaseStep = static_cast<float>(randomUnit() * 1 + 2);
    disc.phase = 0;
    disc.colour = 1;
    disc.colourStep = 1;
}

void stepDisc(DiscState& disc) {
    disc.phase = static_cast<float>(double{disc.phase} + disc.phaseStep);
    if (disc.phase > 360) {
        disc.phase = static_cast<float>(double{disc.phase} - 360);
    }
    disc.radius = discRadius(disc.phase);

    fillCircle(disc.x, disc.y, disc.radius, static_cast<int>(disc.colour));

    disc.x = static_cast<float>(double{disc.x} + disc.dx);
    disc.y = static_cast<float>(double{disc.y} + disc.dy);
    disc.colour = static_cast<float>(double{disc.colour} + disc.colourStep);

    // Reaching an edge points the velocity inward, whatever its sign was, and moves the
    // centre back by twice the new velocity. The edge tests compare unrounded sums.
    if (double{disc.radius} + disc.x >= kScreenWidth) {
        disc.dx = -std::fabs(disc.dx);
        disc.x = static_cast<float>(double{disc.x} + 2 * double{disc.dx});
    }
    if (double{disc.x} - disc.radius <= 0) {
        disc.dx = std::fabs(disc.dx);
        disc.x = static_cast<float>(double{disc.x} + 2 * double{disc.dx});
    }
    if (double{disc.radius} + disc.y >= kScreenHeight) {
        disc.dy = -std::fabs(disc.dy);
        disc.y = static_cast<float>(double{disc.y} + 2 * double{disc.dy});
    }
    if (double{disc.y} - disc.radius <= 0) {
        disc.dy = std::fabs(disc.dy);
        disc.y = static_cast<float>(double{disc.y} + 2 * double{disc.dy});
    }

    if (disc.colour == 1 || disc.colour == 255) {
        disc.colourStep = -disc.colourStep;
    }
}
