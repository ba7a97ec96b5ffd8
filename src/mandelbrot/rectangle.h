// The rectangle of the complex plane that the saver shows, and when a point
// has left it for good: shared by the plane's grid and the orbit objects.
#pragma once

#include <complex>

#include "mandelbrot/iterated_point.h"

// The rectangle of the complex plane that the saver shows. In double
// precision: the scene's random draws over it compute in doubles, and the
// grid takes it rounded to single precision.
struct plane_rectangle {
    double re_min;
    double im_min;
    double re_max;
    double im_max;
};
constexpr plane_rectangle saver_rectangle{-2.1, -1.2, 0.8, 1.2};

// A point takes part in a pass only while |z| is strictly below this; a
// modulus that is not a number counts as escaped.
constexpr float escape_radius = 5.0f;

// Decides exactly as std::abs(z) < escape_radius. The squared modulus in
// double precision (exact squares, one rounding) settles every z outside a
// shell of about +-0.001 around the radius, far wider than the library
// modulus ever errs; only z inside the shell, and not-a-number, pay for the
// library call.
inline bool within_escape_radius(complex_f z)
{
    const double re = z.real();
    const double im = z.imag();
    const double squared = re * re + im * im;
    if (squared < 24.99)
        return true;
    if (squared > 25.01)
        return false;
    return std::abs(z) < escape_radius;
}

// The rectangle as the grid holds it, rounded to single precision: the
// walkers map their positions to window pixels from it.
struct grid_bounds {
    float re_min;
    float im_min;
    float re_max;
    float im_max;
};
