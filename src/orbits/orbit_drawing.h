// The GL side of the orbit objects' drawing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mandelbrot/colour.h"
#include "orbits/vertex.h"

// The name of the unit-disc display list, built in the current context on
// its first call there.
unsigned int marker_list();
// Radius of a walker's disc in pixels for the alpha of its pulse phase.
float marker_scale(std::uint8_t alpha);
// A walker: its pulsing disc at `at`, then its trail as a line strip.
void draw_walker(vertex2f at, colour_rgba pulse, const vertex2f* trail, const colour_rgba* trail_colours,
                 std::size_t trail_count);
