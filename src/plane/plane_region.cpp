#include "plane/plane_region.h"

plane_region::plane_region(float re_min, float im_min, float re_max, float im_max)
    : re_min(re_min), im_min(im_min), re_max(re_max), im_max(im_max), columns(680), rows(510),
      prepare_cursor(0), pass_count(0)
{
    grid.resize(static_cast<std::size_t>(columns));
    // Grid coordinates are accumulated in single precision, not multiplied
    // out: the last column and row land slightly off re_max and im_max.
    const float step_re = static_cast<float>((re_max - re_min) / (columns - 1));
    float re = re_min;
    for (auto& column : grid) {
        const float step_im = static_cast<float>((im_max - im_min) / (rows - 1));
        column.resize(static_cast<std::size_t>(rows), iterated_point{});
        float im = im_min;
        for (auto& point : column) {
            point.init_at(complex_f(re, im));
            im = im + step_im;
        }
        re = re + step_re;
    }
}

void plane_region::prepare_pass(double fraction)
{
    if (pass_count == max_passes)
        return;
    const double column_count = static_cast<double>(grid.size());
    while (prepare_cursor < static_cast<int>(grid.size())) {
        if (!(prepare_cursor / column_count < fraction))
            break;
        for (auto& point : grid[static_cast<std::size_t>(prepare_cursor)])
            if (within_escape_radius(point.z))
                point.prepare_next();
        ++prepare_cursor;
    }
}

void plane_region::advance_pass()
{
    if (pass_count == max_passes)
        return;
    ++pass_count;
    for (auto& column : grid)
        for (auto& point : column)
            if (within_escape_radius(point.z))
                point.advance();
    prepare_cursor = 0;
}
