// The colour's fast path: doubles only, no float arithmetic, so that the
// 32-bit x87 build compiles it without -ffloat-store (see src/CMakeLists.txt).
#pragma once

#include "mandelbrot/colour.h"

// The bytes of live_colour without the library's acos and log, when the
// approximations settle them. Every quantity is bounded from below and
// above, the roundings of the exact computation included; each byte is a
// monotonic function of value and hue (rounding keeps order), so equal bytes
// at both ends of the bounds are the exact computation's bytes. False when
// it cannot tell: a byte boundary or a sector edge within the bounds, m not a
// normal number, dx / m outside [-1, 1].
bool settled_colour(float dx, float m, float x, colour_rgba& colour);
