// The floating-point mode the disc's arithmetic is exact in.
#pragma once

// Sets the x87 unit to 64-bit significands, rounding to nearest with ties to even, and
// every exception masked; the SSE unit likewise to nearest with exceptions masked.
void setFloatMode();
