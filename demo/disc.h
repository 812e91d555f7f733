// The bouncing disc: a filled circle that drifts at constant speed, bounces off the
// screen's edges, pulsates between 16 and 48 pixels and steps through the colour ramp.
#pragma once

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

// The disc's only two values that are not exact in binary, each rounded to a float:
// the first centre's column for a draw u (k/32768), and the radius for a phase in
// degrees. initDisc and stepDisc compute them here and nowhere else, so that they can
// be checked for every input the program can give them.
float discStartX(double draw);
float discRadius(float phase);
