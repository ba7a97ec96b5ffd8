// A whole orbit of a random parameter whose orbit settles down, computed
// once and drawn as a line strip that grows out of c and then slides back
// and forth along the orbit for ever.
#pragma once

#include <cstdint>
#include <vector>

#include "mandelbrot/colour.h"
#include "mandelbrot/iterated_point.h"
#include "orbits/vertex.h"

class orbit_path {
public:
    static constexpr int samples_per_step = 9;
    static constexpr int max_steps = 128;
    static constexpr int min_steps = 12;
    // Longest strip drawn, in whole orbit steps.
    static constexpr int max_tail_steps = 96;

    // Draws candidate parameters from the uniform generator until one is
    // accepted.
    explicit orbit_path(colour_rgba colour);

    // The part of the strip drawn: shown vertices from first, coloured from
    // colour_first. The worker moves it; a frame reads it whole.
    struct strip_window {
        std::int32_t first;
        std::int32_t colour_first;
        std::int32_t shown;
    };

    // One pass: the strip grows by three vertices, or its window slides on.
    void advance_window();
    void resize(int new_width, int new_height);
    void draw() const { draw(window()); }
    void draw(const strip_window& drawn) const;
    strip_window window() const { return {first, colour_first, shown}; }

    complex_f start;
    // 9n forward positions, then the same in reverse order.
    std::vector<vertex2f> vertices;
    std::vector<colour_rgba> colours;
    std::int32_t width;
    std::int32_t height;
    std::int32_t path_length;
    std::int32_t tail_length;
    std::int32_t shown;
    std::int32_t first;
    std::int32_t colour_first;

    // Whole orbit steps kept for the parameter c, or 0 when c is rejected:
    // steps longer than 0.5, an orbit crossing the real axis, or one that
    // settles (a step below 0.01) in fewer than 12 steps. Fills orbit with
    // the iterates c, c*c + c, ... (max_steps entries at most).
    static int accepted_steps(complex_f c, complex_f* orbit);
};
