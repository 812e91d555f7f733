#include "demo/disc.h"

#include <cmath>

#include "platform/clock_random.h"
#include "platform/display.h"

namespace {

using Extended = long double;

// Written to fifteen significant digits, these are not 1664/3, 128/3 and pi/180: the
// doubles nearest the decimals are what place the disc and size it.
constexpr double kStartWidth = 554.666666666667;       // screen width x 13/15
constexpr double kStartMargin = 42.6666666666667;      // screen width x 1/15
constexpr double kRadiansPerDegree = 0.0174532777777778; // 3.14159 / 180

constexpr Extended kScreenWidth = 640;
constexpr Extended kScreenHeight = 480;

// A velocity whose sign comes from one draw and whose magnitude, in (0.5, 1], from the next.
float drawVelocity() {
    const Extended sign = randomUnit();
    const Extended magnitude = randomUnit();
    if (sign < 0.5) {
        return static_cast<float>(magnitude * 0.5 - 1);
    }
    return static_cast<float>(1 - magnitude * 0.5);
}

} // namespace

void initDisc(DiscState& disc) {
    disc.x = static_cast<float>(Extended{randomUnit()} * kStartWidth + kStartMargin);
    disc.y = static_cast<float>(Extended{randomUnit()} * 416 + 32);
    disc.dx = drawVelocity();
    disc.dy = drawVelocity();
    disc.phaseStep = static_cast<float>(Extended{randomUnit()} * 1 + 2);
    disc.phase = 0;
    disc.colour = 1;
    disc.colourStep = 1;
}

void stepDisc(DiscState& disc) {
    disc.phase = static_cast<float>(Extended{disc.phase} + disc.phaseStep);
    if (disc.phase > 360) {
        disc.phase = static_cast<float>(Extended{disc.phase} - 360);
    }
    disc.radius = static_cast<float>(std::sin(kRadiansPerDegree * Extended{disc.phase}) * 16 + 32);

    fillCircle(disc.x, disc.y, disc.radius, static_cast<int>(disc.colour));

    disc.x = static_cast<float>(Extended{disc.x} + disc.dx);
    disc.y = static_cast<float>(Extended{disc.y} + disc.dy);
    disc.colour = static_cast<float>(Extended{disc.colour} + disc.colourStep);

    // Reaching an edge points the velocity inward, whatever its sign was, and moves the
    // centre back by twice the new velocity. The edge tests compare unrounded sums.
    if (Extended{disc.radius} + disc.x >= kScreenWidth) {
        disc.dx = -std::fabs(disc.dx);
        disc.x = static_cast<float>(Extended{disc.x} + 2 * Extended{disc.dx});
    }
    if (Extended{disc.x} - disc.radius <= 0) {
        disc.dx = std::fabs(disc.dx);
        disc.x = static_cast<float>(Extended{disc.x} + 2 * Extended{disc.dx});
    }
    if (Extended{disc.radius} + disc.y >= kScreenHeight) {
        disc.dy = -std::fabs(disc.dy);
        disc.y = static_cast<float>(Extended{disc.y} + 2 * Extended{disc.dy});
    }
    if (Extended{disc.y} - disc.radius <= 0) {
        disc.dy = std::fabs(disc.dy);
        disc.y = static_cast<float>(Extended{disc.y} + 2 * Extended{disc.dy});
    }

    if (disc.colour == 1 || disc.colour == 255) {
        disc.colourStep = -disc.colourStep;
    }
}
