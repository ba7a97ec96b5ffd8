// A moving point that follows the orbit of one parameter c, with a fading
// trail of its last 60 positions and a pulsing disc at c.
#pragma once

#include <cstdint>
#include <vector>

#include "mandelbrot/colour.h"
#include "mandelbrot/iterated_point.h"
#include "mandelbrot/rectangle.h"
#include "orbits/vertex.h"

class orbit_walker {
public:
    static constexpr int trail_limit = 60;
    // Sub-steps between two whole iterates.
    static constexpr int ticks_per_step = 60;

    orbit_walker(const grid_bounds& region, colour_rgba colour, float re, float im);

    // One pass: two sub-steps along the orbit. False once the orbit escaped.
    bool update();
    void resize(int new_width, int new_height);
    void draw() const;
    // The disc's colour for the current tick.
    colour_rgba pulse() const { return pulse_colours[static_cast<std::size_t>(ticks % ticks_per_step)]; }

    // Pixel position of a complex number for the current window size.
    vertex2f pixel_position(complex_f w) const;

    // The plane's rectangle, as the grid rounds it.
    grid_bounds region;
    iterated_point point;
    std::vector<vertex2f> trail;  // newest first
    std::vector<colour_rgba> trail_colours;
    std::vector<colour_rgba> pulse_colours;
    std::int32_t width;
    std::int32_t height;
    std::int32_t ticks;
};
