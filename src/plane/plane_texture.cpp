#include "plane/plane_texture.h"

#include <cstring>

namespace {

// An escaped point's texel: transparent, keeping the colour of its last live
// picture.
inline void show_escaped(std::uint8_t* texel)
{
    texel[3] = 0;
}

}  // namespace

int texture_size(int n)
{
    int size = 2;
    while (size < n)
        size *= 2;
    return size;
}

plane_texture::plane_texture(const plane_region& plane)
    : region(&plane), width(plane_region::grid_columns), height(plane_region::grid_rows), texture_name(0),
      s_extent(static_cast<float>(static_cast<double>(plane.columns) / texture_size(plane.columns))),
      t_extent(static_cast<float>(static_cast<double>(plane.rows) / texture_size(plane.rows))),
      pixels(static_cast<std::size_t>(plane.columns) * static_cast<std::size_t>(plane.rows) * 4, 0),
      pixels_changed(false), spans(), work_pixels(pixels.size(), 0), work_spans(), upload_pixels(pixels.size(), 0),
      upload_pending(false), drawn_spans(), image_count(0), composed_pass(-1), ahead_columns(0), ahead_spans()
{
    recolour();
}

void plane_texture::compose()
{
    // The region keeps each point's colour, computed when its iterate was
    // prepared; here the live ones are only gathered into image order.
    const std::size_t columns = static_cast<std::size_t>(region->columns);
    const std::size_t rows = static_cast<std::size_t>(region->rows);
    const std::int32_t live = region->pass_count;
    // Right after one whole pass since the last picture, only the rows that
    // pass changed are recomputed; the other texels are already right.
    const bool one_pass_on = composed_pass + 1 == live;
    // Columns composed ahead for this pass are done, spans included.
    const std::size_t done = one_pass_on ? static_cast<std::size_t>(ahead_columns) : 0;
    composed_pass = live;
    ahead_columns = 0;
    // Raw pointers in locals: the byte stores into the image may alias
    // anything, so pointers read through the region would be reloaded after
    // each one.
    const std::uint8_t* const step_of = region->steps_data();
    const colour_rgba* const colour_of[2] = {region->colour_slot(0), region->colour_slot(1)};
    std::uint8_t* const image = work_pixels.data();
    // Texels outside the rows visited are transparent: before a box's first
    // band no column is seen.
    for (std::size_t b = 0; b < work_spans.size(); ++b)
        work_spans[b] = done > 0 ? ahead_spans[b] : texel_span{static_cast<int>(columns), 0};
    // In bands of grid rows, so that the grid's column-major arrays are read
    // in runs while the image is written row by row.
    constexpr std::size_t band = 16;
    static_assert(box_rows % band == 0, "a box holds whole bands");
    for (std::size_t first_row = 0; first_row < rows; first_row += band) {
        const std::size_t end_row = first_row + band < rows ? first_row + band : rows;
        texel_span& span = work_spans[first_row / box_rows];
        for (std::size_t i = done; i < columns; ++i) {
            bool shown = false;
            std::size_t from = first_row;
            std::size_t to = end_row;
            if (one_pass_on) {
                const int column = static_cast<int>(i);
                const std::size_t changed_first = static_cast<std::size_t>(region->changed_rows_first(column));
                const std::size_t changed_end = static_cast<std::size_t>(region->changed_rows_end(column));
                from = changed_first > from ? changed_first : from;
                to = changed_end < to ? changed_end : to;
            }
            for (std::size_t j = from; j < to; ++j) {
                const std::size_t index = i * rows + j;
                std::uint8_t* texel = image + ((rows - 1 - j) * columns + i) * 4;
                const std::uint8_t step = step_of[index];
                if (step == live) {
                    shown = true;
                    std::memcpy(texel, &colour_of[step & 1][index], 4);
                } else {
                    show_escaped(texel);
                }
            }
            if (shown)
                span.widen(static_cast<int>(i), static_cast<int>(i) + 1);
        }
    }
}

void plane_texture::compose_ahead()
{
    const int prepared = region->prepare_cursor;
    if (composed_pass != region->pass_count || ahead_columns >= prepared)
        return;
    const std::size_t rows = static_cast<std::size_t>(region->rows);
    const std::size_t columns = static_cast<std::size_t>(region->columns);
    if (ahead_columns == 0)
        for (texel_span& span : ahead_spans)
            span = {static_cast<int>(columns), 0};
    // A point the pass advances takes its prepared iterate's slot, the
    // other parity from now.
    const colour_rgba* const next_colour = region->colour_slot((region->pass_count + 1) & 1);
    std::uint8_t* const image = work_pixels.data();
    for (int column = ahead_columns; column < prepared; ++column) {
        const std::size_t i = static_cast<std::size_t>(column);
        const int first = region->next_changed_rows_first(column);
        const int end = region->next_changed_rows_end(column);
        for (int row = first; row < end; ++row) {
            const std::size_t j = static_cast<std::size_t>(row);
            const std::size_t index = i * rows + j;
            std::uint8_t* texel = image + ((rows - 1 - j) * columns + i) * 4;
            if (region->advances_next(index)) {
                std::memcpy(texel, &next_colour[index], 4);
                ahead_spans[j / box_rows].widen(column, column + 1);
            } else {
                show_escaped(texel);
            }
        }
    }
    ahead_columns = prepared;
}

void plane_texture::publish()
{
    pixels = work_pixels;
    spans = work_spans;
    pixels_changed = true;
}

void plane_texture::take_published()
{
    if (!pixels_changed)
        return;
    // Once a pass; the bytes compared in well under a millisecond.
    if (pixels != upload_pixels)
        ++image_count;
    // Swapped, not copied: publish overwrites every byte of pixels, so the
    // older image it receives here is never read.
    upload_pixels.swap(pixels);
    drawn_spans = spans;
    upload_pending = true;
    pixels_changed = false;
}

void plane_texture::resize(int new_width, int new_height)
{
    width = new_width;
    height = new_height;
}

int plane_texture::place_boxes(const scene_projection& project, scissor_box* boxes) const
{
    if (!scissored)
        return -1;
    const quad_layout quad{static_cast<double>(width), static_cast<double>(height), region->columns, region->rows,
                           box_rows};
    return place_scissor_boxes(project, quad, drawn_spans.data(), box_count, box_reach, boxes);
}
