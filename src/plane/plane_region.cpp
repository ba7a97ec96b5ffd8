#include "plane/plane_region.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "plane/next_iterates.h"

namespace {

std::uint32_t bits_of(float x)
{
    std::uint32_t bits = 0;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

// Compared part by part: a whole complex value compared in memory makes a
// round trip through the stack on every call.
bool same_bits(float re, float im, complex_f b)
{
    return bits_of(re) == bits_of(b.real()) && bits_of(im) == bits_of(b.imag());
}

// Never equal, bit for bit, to an iterate computed from a live point.
const complex_f no_iterate(std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::quiet_NaN());

}  // namespace

plane_region::plane_region(const plane_rectangle& rectangle)
    : plane_region(static_cast<float>(rectangle.re_min), static_cast<float>(rectangle.im_min),
                   static_cast<float>(rectangle.re_max), static_cast<float>(rectangle.im_max))
{}

plane_region::plane_region(float low_re, float low_im, float high_re, float high_im)
    : re_min(low_re), im_min(low_im), re_max(high_re), im_max(high_im), columns(grid_columns), rows(grid_rows),
      prepare_cursor(0), pass_count(0)
{
    // Grid coordinates are accumulated in single precision, not multiplied
    // out: the last column and row land slightly off re_max and im_max.
    const float step_re = (re_max - re_min) / static_cast<float>(columns - 1);
    const float step_im = (im_max - im_min) / static_cast<float>(rows - 1);
    column_re.resize(static_cast<std::size_t>(columns));
    row_im.resize(static_cast<std::size_t>(rows));
    float re = re_min;
    for (float& value : column_re) {
        value = re;
        re = re + step_re;
    }
    float im = im_min;
    for (float& value : row_im) {
        value = im;
        im = im + step_im;
    }
    single_precision_control = true;
    for (const std::vector<float>* values : {&column_re, &row_im})
        for (const float value : *values)
            single_precision_control = single_precision_control && !(std::fabs(value) < least_grid_value);
    next_iterates.resize(static_cast<std::size_t>(rows));

    const std::size_t count = static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows);
    iterates[0].resize(count);
    iterates[1].assign(count, no_iterate);
    // Every point starts at z = c: displacement 0, shown opaque black.
    colours[0].assign(count, live_colour(complex_f(0.0f, 0.0f), complex_f(0.0f, 0.0f)));
    colours[1].resize(count);
    steps.assign(count, 0);
    states.resize(count);
    const std::size_t column_count = static_cast<std::size_t>(columns);
    live_first.assign(column_count, static_cast<std::uint16_t>(rows));
    live_end.assign(column_count, 0);
    // Every point is live in the first picture.
    advanced_first.assign(column_count, 0);
    advanced_end.assign(column_count, static_cast<std::uint16_t>(rows));
    changed_first.assign(column_count, 0);
    changed_end.assign(column_count, static_cast<std::uint16_t>(rows));
    for (int i = 0; i < columns; ++i)
        for (int j = 0; j < rows; ++j) {
            const std::size_t index = index_of(i, j);
            const complex_f c = c_of(i, j);
            iterates[0][index] = c;
            states[index] = within_escape_radius(c) ? active : escaped;
            if (states[index] != escaped)
                include_row(i, j);
        }
}

void plane_region::include_row(int column, int row)
{
    const std::size_t i = static_cast<std::size_t>(column);
    if (row < live_first[i])
        live_first[i] = static_cast<std::uint16_t>(row);
    if (row >= live_end[i])
        live_end[i] = static_cast<std::uint16_t>(row + 1);
}

std::size_t plane_region::index_of(int column, int row) const
{
    return static_cast<std::size_t>(column) * static_cast<std::size_t>(rows) + static_cast<std::size_t>(row);
}

complex_f plane_region::c_of(int column, int row) const
{
    return {column_re[static_cast<std::size_t>(column)], row_im[static_cast<std::size_t>(row)]};
}

void plane_region::iterate_column(int column, int first, int end)
{
    const std::size_t base = index_of(column, 0);
    const complex_f* const slots[2] = {iterates[0].data() + base, iterates[1].data() + base};
    const float c_re = column_re[static_cast<std::size_t>(column)];
    if (single_precision_control)
        iterate_at_single_precision(steps.data() + base, states.data() + base, slots, c_re, row_im.data(), first, end,
                                    next_iterates.data());
    else
        iterate_rows(steps.data() + base, states.data() + base, active, slots, c_re, row_im.data(), first, end,
                     next_iterates.data());
}

inline void plane_region::prepare(std::size_t index, complex_f c, complex_f next)
{
    const int now = steps[index] & 1;
    const int other = now ^ 1;
    // live_colour(next, c), written out on the parts so that no complex
    // value makes a round trip through memory.
    const float next_re = next.real();
    const float next_im = next.imag();
    // Back on the iterate before last: from here on the orbit alternates
    // between the two slots' values and colours, as each is computed from
    // the same bits each time; the other slot's colour is already next's.
    if (steps[index] > 0 && same_bits(next_re, next_im, iterates[other][index])) {
        states[index] = settled;
        return;
    }
    iterates[other][index] = complex_f(next_re, next_im);
    colours[other][index] = displacement_colour(next_re - c.real(), next_im - c.imag());
    // Decided here, where next is at hand, so that the whole pass reads no
    // iterate.
    if (!within_escape_radius(complex_f(next_re, next_im)))
        states[index] = leaving;
}

void plane_region::prepare_pass(double fraction)
{
    if (pass_count == max_passes)
        return;
    const double column_count = static_cast<double>(columns);
    while (prepare_cursor < columns) {
        if (!(prepare_cursor / column_count < fraction))
            break;
        prepare_column(prepare_cursor);
        ++prepare_cursor;
    }
}

void plane_region::prepare_column(int column)
{
    const std::size_t i = static_cast<std::size_t>(column);
    const int first = live_first[i];
    const int end = live_end[i];
    iterate_column(column, first, end);
    for (int j = first; j < end; ++j) {
        const std::size_t index = index_of(column, j);
        if (states[index] == active)
            prepare(index, c_of(column, j), next_iterates[static_cast<std::size_t>(j)]);
    }
}

void plane_region::advance_pass()
{
    if (pass_count == max_passes)
        return;
    ++pass_count;
    for (int i = 0; i < columns; ++i) {
        // Columns the prepare passes have not reached are prepared here.
        if (i >= prepare_cursor)
            prepare_column(i);
        const std::size_t column = static_cast<std::size_t>(i);
        const int first = live_first[column];
        const int end = live_end[column];
        // Live in the picture now: points this pass advances. Live before:
        // those the last pass advanced. Only rows of either change texels.
        changed_first[column] = static_cast<std::uint16_t>(next_changed_rows_first(i));
        changed_end[column] = static_cast<std::uint16_t>(next_changed_rows_end(i));
        advanced_first[column] = static_cast<std::uint16_t>(first);
        advanced_end[column] = static_cast<std::uint16_t>(end);
        int new_first = rows;
        int new_end = 0;
        // Raw pointers in locals: a store through a byte pointer may alias
        // anything, so the vectors' own pointers would be reloaded after
        // each one.
        std::uint8_t* const step_of = steps.data();
        point_state* const state_of = states.data();
        const std::size_t base = index_of(i, 0);
        for (int j = first; j < end; ++j) {
            const std::size_t index = base + static_cast<std::size_t>(j);
            const point_state state = state_of[index];
            if (state == escaped)
                continue;
            ++step_of[index];
            if (state == leaving) {
                state_of[index] = escaped;
                continue;
            }
            new_first = j < new_first ? j : new_first;
            new_end = j + 1;
        }
        live_first[column] = static_cast<std::uint16_t>(new_first);
        live_end[column] = static_cast<std::uint16_t>(new_end);
    }
    prepare_cursor = 0;
}

iterated_point plane_region::point(int column, int row) const
{
    const std::size_t index = index_of(column, row);
    const int now = steps[index] & 1;
    iterated_point record{};
    record.c = c_of(column, row);
    record.start = record.c;
    record.z = iterates[now][index];
    record.drawn = record.z;
    record.steps = steps[index];
    // Every ratio a record holds is log_ratio of its own iterate, which
    // gives the same bits whenever it is computed: no pass needs them, so
    // they are computed here, when asked for.
    record.ratio = record.log_ratio(record.z);
    if (states[index] != escaped && column < prepare_cursor) {
        record.next = iterates[now ^ 1][index];
        record.next_ratio = record.log_ratio(record.next);
    } else {
        // Nothing prepared: a whole step has just copied next and next_ratio
        // into z and ratio, or the record is fresh.
        record.next = record.z;
        record.next_ratio = record.steps == 0 ? complex_f(0.0f, 0.0f) : record.ratio;
    }
    return record;
}

void plane_region::set_iterate(int column, int row, complex_f z)
{
    const std::size_t index = index_of(column, row);
    const complex_f c = c_of(column, row);
    const int now = steps[index] & 1;
    iterates[now][index] = z;
    // The other slot no longer holds this orbit's previous iterate.
    iterates[now ^ 1][index] = no_iterate;
    colours[now][index] = live_colour(z, c);
    states[index] = within_escape_radius(z) ? active : escaped;
    if (states[index] == active)
        include_row(column, row);
    if (states[index] == active && column < prepare_cursor) {
        iterate_column(column, row, row + 1);
        prepare(index, c, next_iterates[static_cast<std::size_t>(row)]);
    }
}
