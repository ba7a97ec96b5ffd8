#include "mandelbrot/iterated_point.h"

void iterated_point::init_at(complex_f p)
{
    z = p;
    start = p;
    c = p;
    drawn = p;
    next = p;
    ratio = log_ratio(p);
    next_ratio = complex_f(0.0f, 0.0f);
    steps = 0;
}

complex_f iterated_point::log_ratio(complex_f w) const
{
    return ratio_of_logs(std::log(square(w) + c), std::log(w));
}

void iterated_point::prepare_next()
{
    next = square(z) + c;
    next_ratio = log_ratio(next);
}

void iterated_point::advance()
{
    if (z.real() == next.real() && z.imag() == next.imag())
        prepare_next();
    ++steps;
    z = next;
    drawn = next;
    ratio = next_ratio;
}

void iterated_point::interpolate(float t)
{
    const complex_f e(1.0f + t * ratio.real(), t * ratio.imag());
    if (e.imag() == 0.0f)
        drawn = std::pow(z, e.real());
    else if (z.imag() == 0.0f)
        drawn = std::pow(z.real(), e);
    else
        drawn = std::exp(e * std::log(z));
}
