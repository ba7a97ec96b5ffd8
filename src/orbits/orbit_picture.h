// The orbit objects as one frame draws them. The scene copies them here
// under its lock and draws the copy after releasing it, so that the worker's
// orbit step never waits for the drawing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <vector>

#include "mandelbrot/colour.h"
#include "orbits/orbit_path.h"
#include "orbits/orbit_walker.h"
#include "orbits/vertex.h"

class orbit_picture {
public:
    // A walker's disc, and where its trail lies in the shared trail arrays.
    struct walker_mark {
        vertex2f at;
        colour_rgba pulse;
        std::size_t trail_first;
        std::size_t trail_count;
    };

    // Copies every path's drawing window and every walker's disc and trail,
    // in drawing order. The caller holds the lock the worker steps them
    // under; the arrays keep their room from frame to frame.
    void capture(const std::vector<std::unique_ptr<orbit_path>>& paths,
                 const std::list<std::unique_ptr<orbit_walker>>& walkers);
    // Draws the paths (their vertices and colours are the window thread's
    // own, only their windows were copied), then the walkers.
    void draw(const std::vector<std::unique_ptr<orbit_path>>& paths) const;

    std::vector<orbit_path::strip_window> path_windows;
    std::vector<walker_mark> walkers;
    std::vector<vertex2f> trail;
    std::vector<colour_rgba> trail_colours;
};
