// The rectangle of the complex plane shown by the saver, sampled on a
// 680 x 510 grid of iterated points that are advanced together.
#pragma once

#include <array>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "mandelbrot/colour.h"
#include "mandelbrot/iterated_point.h"
#include "mandelbrot/rectangle.h"

// The grid is kept as parallel arrays indexed column * rows + row, not as
// iterated_point records, so that a pass streams through only what it needs.
// Each point keeps its values for two consecutive iterates, chosen by the
// parity of its steps: the look-ahead writes the other slot, and the whole
// pass only counts the step. point() gives the record a grid of
// iterated_point records would hold, field for field.
class plane_region {
public:
    static constexpr int max_passes = 96;
    static_assert(max_passes <= 255, "steps are kept in one byte");
    static constexpr int grid_columns = 680;
    static constexpr int grid_rows = 510;

    plane_region(float re_min, float im_min, float re_max, float im_max);
    explicit plane_region(const plane_rectangle& rectangle);

    // Gives further columns their look-ahead while the share of columns
    // already handled stays below fraction.
    void prepare_pass(double fraction);
    // One whole iteration of every live point.
    void advance_pass();

    // The record of the point of column i, row j (row 0 at im_min). start is
    // c and drawn is z, as the grid never interpolates.
    iterated_point point(int column, int row) const;
    // Puts a point's current iterate at z as if its orbit had come there:
    // ratio, colour, escape and look-ahead follow from z; c and steps stay.
    // For tests and tools.
    void set_iterate(int column, int row, complex_f z);

    // The rows first to end - 1 of a column hold every texel the last whole
    // pass may have changed: the points it advanced and those the pass
    // before advanced. Valid for a picture made after each whole pass.
    int changed_rows_first(int column) const { return changed_first[static_cast<std::size_t>(column)]; }
    int changed_rows_end(int column) const { return changed_end[static_cast<std::size_t>(column)]; }
    // The same for the coming whole pass, known between two passes: its
    // points and those the last pass advanced.
    int next_changed_rows_first(int column) const
    {
        const std::size_t i = static_cast<std::size_t>(column);
        return live_first[i] < advanced_first[i] ? live_first[i] : advanced_first[i];
    }
    int next_changed_rows_end(int column) const
    {
        const std::size_t i = static_cast<std::size_t>(column);
        return live_end[i] > advanced_end[i] ? live_end[i] : advanced_end[i];
    }
    // Whether the coming whole pass advances the point: every point not
    // escaped, each of which has made every pass so far.
    bool advances_next(std::size_t index) const { return states[index] != escaped; }

    // For the picture, by index column * rows + row.
    std::int32_t steps_at(std::size_t index) const { return steps[index]; }
    // The colour of the point's current displacement z - c as a live point
    // shows it (alpha 255); meaningful while the point is live.
    colour_rgba colour_at(std::size_t index) const { return colours[steps[index] & 1][index]; }
    // The same as arrays, for loops over the whole grid.
    const std::uint8_t* steps_data() const { return steps.data(); }
    const colour_rgba* colour_slot(int slot) const { return colours[static_cast<std::size_t>(slot)].data(); }

    grid_bounds bounds() const { return {re_min, im_min, re_max, im_max}; }

    float re_min;
    float im_min;
    float re_max;
    float im_max;
    int columns;
    int rows;
    int prepare_cursor;
    int pass_count;

private:
    // escaped: |z| is not below the radius; no pass touches the point again.
    // settled: the orbit came back to the iterate before last, bit for bit,
    // so both slots already hold every later value; a pass only counts it.
    // leaving: prepared, and its next iterate is not within the escape
    // radius: the whole pass makes its step, then it is escaped.
    enum point_state : std::uint8_t { escaped, active, settled, leaving };

    std::size_t index_of(int column, int row) const;
    // Widens the column's live rows to hold row.
    void include_row(int column, int row);
    complex_f c_of(int column, int row) const;
    // next_iterates[j] = z * z + c for the active points of rows first to
    // end - 1 of a column (plane_iteration.cpp).
    void iterate_column(int column, int first, int end);
    // The same loop without -ffloat-store, at 24-bit precision control, for
    // grids where that rounds exactly (plane_iteration.cpp).
    static void iterate_at_single_precision(const std::uint8_t* steps, const point_state* states,
                                            const complex_f* const slots[2], float c_re, const float* c_im, int first,
                                            int end, complex_f* next);
    // Fills the other slot with the next iterate, computed by iterate_column,
    // and its colour. At most once per point between two whole passes: the
    // settling test reads the other slot as the iterate before last.
    void prepare(std::size_t index, complex_f c, complex_f next);
    // iterate_column and prepare for the column's live rows.
    void prepare_column(int column);

    // Grid values: every column shares the rows' imaginary parts.
    std::vector<float> column_re;
    std::vector<float> row_im;
    // Whether iterate_column may round at the x87 unit's 24-bit precision
    // control instead of storing each result: true when no grid value is 0
    // or smaller than least_grid_value (plane_iteration.cpp).
    bool single_precision_control;
    static constexpr float least_grid_value = 0x1p-64f;
    // One column's next iterates, by row.
    std::vector<complex_f> next_iterates;
    // Slot steps & 1 holds the current iterate and colour; the other slot
    // the previous ones, or the prepared next ones. The ratios are not kept:
    // point() computes them from the iterates.
    std::array<std::vector<complex_f>, 2> iterates;
    std::array<std::vector<colour_rgba>, 2> colours;
    // A point takes at most max_passes steps.
    std::vector<std::uint8_t> steps;
    std::vector<point_state> states;
    // Per column, rows first to end - 1 hold every point that is not
    // escaped, so that the passes skip the escaped rows above and below;
    // the rows the last whole pass advanced; and the rows whose texels it
    // changed (see changed_rows_first).
    std::vector<std::uint16_t> live_first;
    std::vector<std::uint16_t> live_end;
    std::vector<std::uint16_t> advanced_first;
    std::vector<std::uint16_t> advanced_end;
    std::vector<std::uint16_t> changed_first;
    std::vector<std::uint16_t> changed_end;
};
