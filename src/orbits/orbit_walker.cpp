#include "orbits/orbit_walker.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {
constexpr double pi = 3.141592653589793;
}

orbit_walker::orbit_walker(const grid_bounds& bounds, colour_rgba colour, float re, float im)
    : region(bounds), point{}, trail(1, vertex2f{0.0f, 0.0f}), width(0), height(0), ticks(0)
{
    point.init_at(complex_f(re, im));
    trail_colours.reserve(trail_limit);
    pulse_colours.reserve(trail_limit);
    for (int k = 0; k < trail_limit; ++k) {
        // Both run over the trail's length.
        constexpr double trail_length = trail_limit;
        const double fade = 255.0 * std::exp(-2.0 * k / trail_length);
        const double pulse = 255.0 * (0.3 * std::sin(2.0 * k * pi / trail_length) + 0.6);
        trail_colours.push_back({colour.r, colour.g, colour.b, to_byte(fade)});
        pulse_colours.push_back({colour.r, colour.g, colour.b, to_byte(pulse)});
    }
}

vertex2f orbit_walker::pixel_position(complex_f w) const
{
    // Single precision with the integer window size, as the positions are
    // stored.
    return {(w.real() - region.re_min) * static_cast<float>(width) / (region.re_max - region.re_min),
            (w.imag() - region.im_min) * static_cast<float>(height) / (region.im_max - region.im_min)};
}

bool orbit_walker::update()
{
    const std::size_t new_size = std::min<std::size_t>(trail.size() + 2, trail_limit);
    trail.resize(new_size, vertex2f{0.0f, 0.0f});
    for (std::size_t i = new_size - 1; i >= 2; --i)
        trail[i] = trail[i - 2];

    for (int slot = 1; slot >= 0; --slot) {
        // Ticks start again at 1 after a whole number of steps, long before
        // they could overflow, so that k and the pulse run on unchanged.
        constexpr std::int32_t last_tick = INT32_MAX / ticks_per_step * ticks_per_step;
        ticks = ticks == last_tick ? 1 : ticks + 1;
        const int k = ticks % ticks_per_step;
        if (k != 0)
            point.interpolate(static_cast<float>(static_cast<double>(k) / ticks_per_step));
        else
            point.advance();
        trail[static_cast<std::size_t>(slot)] = pixel_position(point.drawn);
    }
    return within_escape_radius(point.z);
}

void orbit_walker::resize(int new_width, int new_height)
{
    const int old_width = width;
    const double sx = resize_factor(new_width, old_width);
    const double sy = resize_factor(new_height, height);
    width = new_width;
    height = new_height;
    if (old_width == 0) {
        trail[0] = pixel_position(point.start);
        return;
    }
    for (auto& v : trail) {
        v.x = static_cast<float>(v.x * sx);
        v.y = static_cast<float>(v.y * sy);
    }
}
