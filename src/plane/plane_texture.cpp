#include "plane/plane_texture.h"

#include <cmath>

#include "plane/colour.h"

int texture_size(int n)
{
    int size = 2;
    while (size < n)
        size *= 2;
    return size;
}

plane_texture::plane_texture(const plane_region& region)
    : region(&region), width(680), height(510), texture_name(0),
      s_extent(static_cast<float>(static_cast<double>(region.columns) / texture_size(region.columns))),
      t_extent(static_cast<float>(static_cast<double>(region.rows) / texture_size(region.rows))),
      pixels(static_cast<std::size_t>(region.columns) * static_cast<std::size_t>(region.rows) * 4, 0),
      pixels_changed(false),
      work_pixels(pixels.size(), 0)
{
    recolour();
}

void plane_texture::recolour(std::mutex* hand_over)
{
    constexpr double two_pi = 6.283185307179586;
    const int columns = region->columns;
    const int rows = region->rows;
    std::uint8_t* texel = work_pixels.data();
    for (int k = 0; k < rows; ++k) {
        const std::size_t j = static_cast<std::size_t>(rows - 1 - k);
        for (int i = 0; i < columns; ++i, texel += 4) {
            const iterated_point& p = region->grid[static_cast<std::size_t>(i)][j];
            const float dx = p.z.real() - p.c.real();
            const float dy = p.z.imag() - p.c.imag();
            const float m = static_cast<float>(std::sqrt(static_cast<double>(dx * dx + dy * dy)));
            // The reflection tests dx, not dy: the hue depends on dx / m alone.
            float theta = static_cast<float>(std::acos(static_cast<double>(dx / m)));
            if (dx < 0.0f)
                theta = static_cast<float>(two_pi - theta);
            if (p.steps == region->pass_count) {
                double value = std::log(static_cast<double>(m)) / 10.0 + 0.5;
                value = value < 0.0 ? 0.0 : (value > 1.0 ? 1.0 : value);
                hsv_to_rgb(theta / two_pi, 0.5, value, texel);
                texel[3] = 255;
            } else {
                texel[3] = 0;
            }
        }
    }

    std::unique_lock<std::mutex> guard;
    if (hand_over)
        guard = std::unique_lock<std::mutex>(*hand_over);
    pixels = work_pixels;
    pixels_changed = true;
}

void plane_texture::resize(int new_width, int new_height)
{
    width = new_width;
    height = new_height;
}
