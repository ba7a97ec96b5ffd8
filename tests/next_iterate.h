// z*z + c written out for the tests, apart from the product's square(): each
// product rounded to float on its own, as the build keeps the iteration's
// explicit squares (no fused multiply-adds), so results match bit for bit.
#pragma once

#include "orbits/iterated_point.h"

inline complex_f next_iterate(complex_f z, complex_f c)
{
    const float x = z.real();
    const float y = z.imag();
    const float xx = x * x;
    const float yy = y * y;
    const float xy = x * y;
    return {xx - yy + c.real(), 2.0f * xy + c.imag()};
}
