// The bouncing disc: a filled circle that drifts at constant speed, bounces off the
// screen's edges, pulsates between 16 and 48 pixels and steps through the colour ramp.
#pragma once

#include <limits>

// The disc's arithmetic is carried in the x87 80-bit extended format and rounded to a
// float only where a field is stored; computed any other way, about a third of the
// starting positions and radii come out one bit off.
static_assert(std::numeric_limits<long double>::radix == 2 &&
                  std::numeric_limits<long double>::digits == 64 &&
                  std::numeric_limits<long double>::max_exponent == 16384,
              "disctrail needs long double to be the 80-bit extended format (64-bit "
              "significand), as GCC and Clang give it on x86-64; this compiler's long "
              "double would compute different discs");

struct DiscState {
    float x;          // column of the centre, pixels from the left edge
    float y;          // row of the centre, pixels from the top
    float dx;         // pixels per frame; only its sign ever changes
    float dy;
    float phaseStep;  // degrees of pulsation per frame, in [2, 3)
    float colour;     // colour index of the next disc, a whole number 1..255
    float colourStep; // +1 or -1
    float radius;     // radius of the latest disc
    float phase;      // pulsation phase in degrees, in (0, 360]
};

// Sets every field but `radius` from seven random draws.
void initDisc(DiscState& disc);

// One frame: advance the phase, draw the disc where it stands, move it, bounce it off
// the edges and step its colour.
void stepDisc(DiscState& disc);
