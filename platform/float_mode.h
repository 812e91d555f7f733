// The floating-point mode the disc's arithmetic is exact in.
#pragma once

// Sets rounding to nearest with ties to even; exceptions stay masked, as Linux starts
// every process. On x86 also sets the x87 unit to 64-bit significands, rounding to
// nearest and every exception masked: 32-bit x86 evaluates double expressions on the
// x87, at the width the unit is set to. Elsewhere, x86-64 included, the disc's
// arithmetic never reaches the x87 and only the rounding mode matters.
void setFloatMode();
