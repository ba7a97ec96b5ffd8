#include "orbits/orbit_path.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "mandelbrot/rectangle.h"
#include "random/random.h"

int orbit_path::accepted_steps(complex_f c, complex_f* orbit)
{
    iterated_point probe{};
    probe.init_at(c);
    orbit[0] = c;
    int n = 1;
    for (;;) {
        probe.advance();
        orbit[n] = probe.z;
        const float d = std::abs(orbit[n] - orbit[n - 1]);
        if (d > 0.5f)
            return 0;
        // The orbit crosses the real axis; a zero imaginary part never counts.
        if (orbit[n - 1].imag() * orbit[n].imag() < 0.0f)
            return 0;
        if (d < 0.01f)
            break;
        ++n;
        if (n == max_steps)
            break;
    }
    return n < min_steps ? 0 : n;
}

orbit_path::orbit_path(colour_rgba colour)
    : start(0.0f, 0.0f), width(0), height(0), path_length(0), tail_length(0), shown(3), first(0), colour_first(0)
{
    std::array<complex_f, max_steps> orbit{};
    int n = 0;
    while (n == 0) {
        // The imaginary part is drawn first.
        const float im = static_cast<float>(random_between(saver_rectangle.im_min, saver_rectangle.im_max));
        const float re = static_cast<float>(random_between(saver_rectangle.re_min, saver_rectangle.re_max));
        n = accepted_steps(complex_f(re, im), orbit.data());
    }

    path_length = samples_per_step * n;
    tail_length = samples_per_step * std::min(n, max_tail_steps);
    vertices.resize(static_cast<std::size_t>(2 * path_length));
    colours.resize(static_cast<std::size_t>(tail_length));
    start = orbit[0];

    // Sample the arcs, filling the forward half from the front and its
    // mirror from the back: vertex 18n - 1 - j equals vertex j.
    iterated_point sampler{};
    sampler.init_at(start);
    std::size_t front = 0;
    std::size_t back = vertices.size() - 1;
    for (int segment = 0; segment < n; ++segment) {
        for (int i = 0; i < samples_per_step; ++i) {
            const vertex2f v{sampler.drawn.real(), sampler.drawn.imag()};
            vertices[front++] = v;
            vertices[back--] = v;
            if (i < samples_per_step - 1)
                sampler.interpolate(static_cast<float>(i / static_cast<double>(samples_per_step)));
            else
                sampler.advance();
        }
    }

    for (int j = 0; j < tail_length; ++j) {
        const int k = tail_length - j;
        const double alpha = 255.0 * (0.5 * std::exp(-2.0 * k / static_cast<double>(samples_per_step)) + 0.5);
        colours[static_cast<std::size_t>(j)] = {colour.r, colour.g, colour.b, to_byte(alpha)};
    }
    colour_first = tail_length - shown;
}

void orbit_path::advance_window()
{
    if (shown < tail_length) {
        shown += 3;
        colour_first -= 3;
    } else {
        first = (first + 3) % (2 * path_length - tail_length);
    }
}

void orbit_path::resize(int new_width, int new_height)
{
    const int old_width = width;
    const double sx = resize_factor(new_width, old_width);
    const double sy = resize_factor(new_height, height);
    width = new_width;
    height = new_height;
    for (auto& v : vertices) {
        if (old_width == 0) {
            // Plane coordinates to pixels over the saver's fixed rectangle.
            v.x = static_cast<float>((v.x - saver_rectangle.re_min) * new_width /
                                     (saver_rectangle.re_max - saver_rectangle.re_min));
            v.y = static_cast<float>((v.y - saver_rectangle.im_min) * new_height /
                                     (saver_rectangle.im_max - saver_rectangle.im_min));
        } else {
            v.x = static_cast<float>(v.x * sx);
            v.y = static_cast<float>(v.y * sy);
        }
    }
}
