// z*z + c written out for the tests, apart from the product's square(): each
// product rounded to float on its own, as the build keeps the iteration's
// explicit squares (no fused multiply-adds), so results match bit for bit.
// And the ratio log(w*w + c) / log(w) - 1 from its definition, apart from
// the product's log_ratio.
#pragma once

#include <gtest/gtest.h>

#include <complex>

#include "mandelbrot/iterated_point.h"

inline complex_f next_iterate(complex_f z, complex_f c)
{
    const float x = z.real();
    const float y = z.imag();
    const float xx = x * x;
    const float yy = y * y;
    const float xy = x * y;
    return {xx - yy + c.real(), 2.0f * xy + c.imag()};
}

// The iterate rounded as the iteration rounds it; the logarithms and the
// quotient in long double, so that only the product's float roundings
// separate the two.
inline std::complex<long double> ratio_by_definition(complex_f w, complex_f c)
{
    using complex_l = std::complex<long double>;
    const complex_f w2 = next_iterate(w, c);
    const complex_l quotient = std::log(complex_l(w2.real(), w2.imag())) / std::log(complex_l(w.real(), w.imag()));
    return quotient - 1.0L;
}

inline void expect_ratio_by_definition(complex_f ratio, complex_f w, complex_f c)
{
    const std::complex<long double> expected = ratio_by_definition(w, c);
    EXPECT_NEAR(ratio.real(), static_cast<double>(expected.real()), 1e-5) << "w = " << w << ", c = " << c;
    EXPECT_NEAR(ratio.imag(), static_cast<double>(expected.imag()), 1e-5) << "w = " << w << ", c = " << c;
}
