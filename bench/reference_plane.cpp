#include "reference_plane.h"

#include <cmath>

namespace reference {

namespace {

// Hue, saturation and value in [0, 1] to bytes, the textbook way: hue in
// degrees over 60 gives the sector i and the fraction f within it; the
// value scaled to 0..255 times (1 - s), (1 - s f) and (1 - s (1 - f)), each
// truncated toward zero. A hue of 1 is hue 0; a hue that is not a number (z
// on c) is grey.
void hsv_to_rgb(double h, double s, double v, std::uint8_t* rgb)
{
    const double value = v * 255.0;
    const std::uint8_t full = static_cast<std::uint8_t>(static_cast<int>(value));
    rgb[0] = rgb[1] = rgb[2] = full;
    if (s == 0.0 || !(h >= 0.0 && h <= 1.0))
        return;
    const double hue = (h == 1.0 ? 0.0 : h) * 360.0 / 60.0;
    const int i = static_cast<int>(hue);
    const double f = hue - i;
    const std::uint8_t p = static_cast<std::uint8_t>(static_cast<int>(value * (1.0 - s)));
    const std::uint8_t q = static_cast<std::uint8_t>(static_cast<int>(value * (1.0 - s * f)));
    const std::uint8_t t = static_cast<std::uint8_t>(static_cast<int>(value * (1.0 - s * (1.0 - f))));
    const std::uint8_t sectors[6][3] = {{full, t, p}, {q, full, p}, {p, full, t},
                                        {p, q, full}, {t, p, full}, {full, p, q}};
    for (int c = 0; c < 3; ++c)
        rgb[c] = sectors[i % 6][c];
}

complex_f square(complex_f w)
{
    return {w.real() * w.real() - w.imag() * w.imag(), w.real() * w.imag() + w.imag() * w.real()};
}

}  // namespace

void point::init_at(complex_f p)
{
    z = p;
    start = p;
    c = p;
    drawn = p;
    next = p;
    ratio = log_ratio(p);
    next_ratio = complex_f(0.0f, 0.0f);
    steps = 0;
}

complex_f point::log_ratio(complex_f w) const
{
    const complex_f w2 = square(w) + c;
    const complex_f q = std::log(w2) / std::log(w);
    return {q.real() - 1.0f, q.imag()};
}

void point::prepare_next()
{
    next = square(z) + c;
    next_ratio = log_ratio(next);
}

void point::advance()
{
    if (z.real() == next.real() && z.imag() == next.imag())
        prepare_next();
    ++steps;
    z = next;
    drawn = next;
    ratio = next_ratio;
}

bool within_escape_radius(complex_f z)
{
    return std::abs(z) < 5.0f;
}

region::region(float low_re, float low_im, float high_re, float high_im)
    : re_min(low_re), im_min(low_im), re_max(high_re), im_max(high_im), columns(680), rows(510), prepare_cursor(0),
      pass_count(0)
{
    grid.resize(static_cast<std::size_t>(columns));
    const float step_re = (re_max - re_min) / static_cast<float>(columns - 1);
    float re = re_min;
    for (auto& column : grid) {
        const float step_im = (im_max - im_min) / static_cast<float>(rows - 1);
        column.resize(static_cast<std::size_t>(rows), point{});
        float im = im_min;
        for (auto& p : column) {
            p.init_at(complex_f(re, im));
            im = im + step_im;
        }
        re = re + step_re;
    }
}

void region::prepare_pass(double fraction)
{
    if (pass_count == max_passes)
        return;
    const double column_count = static_cast<double>(grid.size());
    while (prepare_cursor < static_cast<int>(grid.size())) {
        if (!(prepare_cursor / column_count < fraction))
            break;
        for (auto& p : grid[static_cast<std::size_t>(prepare_cursor)])
            if (within_escape_radius(p.z))
                p.prepare_next();
        ++prepare_cursor;
    }
}

void region::advance_pass()
{
    if (pass_count == max_passes)
        return;
    ++pass_count;
    for (auto& column : grid)
        for (auto& p : column)
            if (within_escape_radius(p.z))
                p.advance();
    prepare_cursor = 0;
}

texture::texture(const region& plane)
    : shown(&plane), pixels(static_cast<std::size_t>(plane.columns) * static_cast<std::size_t>(plane.rows) * 4, 0),
      pixels_changed(false), work_pixels(pixels.size(), 0)
{
    recolour();
}

void texture::compose()
{
    constexpr double two_pi = 6.283185307179586;
    const int columns = shown->columns;
    const int rows = shown->rows;
    std::uint8_t* texel = work_pixels.data();
    for (int k = 0; k < rows; ++k) {
        const std::size_t j = static_cast<std::size_t>(rows - 1 - k);
        for (int i = 0; i < columns; ++i, texel += 4) {
            const point& p = shown->grid[static_cast<std::size_t>(i)][j];
            const float dx = p.z.real() - p.c.real();
            const float dy = p.z.imag() - p.c.imag();
            const float m = static_cast<float>(std::sqrt(static_cast<double>(dx * dx + dy * dy)));
            float theta = static_cast<float>(std::acos(static_cast<double>(dx / m)));
            if (dx < 0.0f)
                theta = static_cast<float>(two_pi - theta);
            if (p.steps == shown->pass_count) {
                double value = std::log(static_cast<double>(m)) / 10.0 + 0.5;
                value = value < 0.0 ? 0.0 : (value > 1.0 ? 1.0 : value);
                hsv_to_rgb(theta / two_pi, 0.5, value, texel);
                texel[3] = 255;
            } else {
                texel[3] = 0;
            }
        }
    }
}

void texture::publish()
{
    pixels = work_pixels;
    pixels_changed = true;
}

}  // namespace reference
