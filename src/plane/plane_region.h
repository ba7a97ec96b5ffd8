// The rectangle of the complex plane shown by the saver, sampled on a
// 680 x 510 grid of iterated points that are advanced together.
#pragma once

#include <vector>

#include "orbits/iterated_point.h"

// A point takes part in a pass only while |z| is strictly below this; a
// modulus that is not a number counts as escaped.
constexpr float escape_radius = 5.0f;

inline bool within_escape_radius(complex_f z)
{
    return std::abs(z) < escape_radius;
}

class plane_region {
public:
    static constexpr int max_passes = 96;

    plane_region(float re_min, float im_min, float re_max, float im_max);

    // Gives further columns their look-ahead while the share of columns
    // already handled stays below fraction.
    void prepare_pass(double fraction);
    // One whole iteration of every live point.
    void advance_pass();

    float re_min;
    float im_min;
    float re_max;
    float im_max;
    int columns;
    int rows;
    // Column-major: grid[i][j] is column i, row j (row 0 at im_min).
    std::vector<std::vector<iterated_point>> grid;
    int prepare_cursor;
    int pass_count;
};
