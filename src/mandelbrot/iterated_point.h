// One point carried through z -> z*z + c, whole step by whole step, with a
// look-ahead that owners may compute early and in-between positions along
// logarithmic-spiral arcs.
#pragma once

#include <complex>
#include <cstdint>

using complex_f = std::complex<float>;

// Squared as an explicit product so that every compiler rounds it the same
// way (the build forbids contraction into fused multiply-adds).
inline complex_f square(complex_f w)
{
    return {w.real() * w.real() - w.imag() * w.imag(), w.real() * w.imag() + w.imag() * w.real()};
}

// The ratio log(w2) / log(w) - 1 from the two logarithms, so that an owner
// that walks an orbit step by step can reuse log(w2) as the next step's log(w).
inline complex_f ratio_of_logs(complex_f log_w2, complex_f log_w)
{
    const complex_f q = log_w2 / log_w;
    return {q.real() - 1.0f, q.imag()};
}

struct iterated_point {
    complex_f z;
    complex_f start;
    complex_f c;
    complex_f drawn;
    complex_f ratio;
    complex_f next;  // equal to z while nothing is prepared
    complex_f next_ratio;
    std::int32_t steps;

    void init_at(complex_f p);
    // log(w*w + c) / log(w) - 1 with this record's c.
    complex_f log_ratio(complex_f w) const;
    void prepare_next();
    void advance();
    // drawn = z ^ (1 + t * ratio), for 0 <= t < 1.
    void interpolate(float t);
};
