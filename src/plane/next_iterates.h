// The grid's iteration loop, shared by its two compilations in the 32-bit x87
// build: plane_region.cpp (with -ffloat-store) and plane_iteration.cpp
// (without, at 24-bit precision control). Internal linkage, so that each
// file keeps the copy compiled with its own options.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mandelbrot/iterated_point.h"

namespace {

// next[j] = z * z + c, written out on the parts, for the rows j in
// [first, end) whose state is `active`; z is in slot steps[j] & 1. The
// arrays start at the column's row 0; c's real part is the column's.
template <class State>
void iterate_rows(const std::uint8_t* steps, const State* states, State active, const complex_f* const slots[2],
                  float c_re, const float* c_im, int first, int end, complex_f* next)
{
    for (int j = first; j < end; ++j) {
        const std::size_t row = static_cast<std::size_t>(j);
        if (states[row] != active)
            continue;
        const complex_f z = slots[steps[row] & 1][row];
        const float re = z.real();
        const float im = z.imag();
        next[row] = complex_f((re * re - im * im) + c_re, (re * im + im * re) + c_im[row]);
    }
}

}  // namespace
