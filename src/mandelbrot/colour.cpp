#include "mandelbrot/colour.h"

#include <cmath>

#include "mandelbrot/settled_colour.h"

std::uint8_t to_byte(double x)
{
    if (!(std::fabs(x) < 9.2e18))
        return 0;
    return static_cast<std::uint8_t>(static_cast<std::int64_t>(x) & 0xFF);
}

void hsv_to_rgb(double h, double s, double v, std::uint8_t* rgb)
{
    if (h == 1.0)
        h = 0.0;
    const double value = v * 255.0;
    const std::uint8_t full = to_byte(value);
    rgb[0] = rgb[1] = rgb[2] = full;
    if (s == 0.0)
        return;

    const double hue = h * 360.0 / 60.0;
    // A hue that is not a number (or is out of all range) falls to the
    // "any other sector" row below: grey.
    const int sector = std::fabs(hue) < 2147483647.0 ? static_cast<int>(hue) : -1;
    const double f = hue - sector;
    const std::uint8_t p = to_byte(value * (1.0 - s));
    const std::uint8_t q = to_byte(value * (1.0 - s * f));
    const std::uint8_t t = to_byte(value * (1.0 - s * (1.0 - f)));
    switch (sector) {
    case 0:
        rgb[1] = t;
        rgb[2] = p;
        break;
    case 1:
        rgb[0] = q;
        rgb[2] = p;
        break;
    case 2:
        rgb[0] = p;
        rgb[2] = t;
        break;
    case 3:
        rgb[0] = p;
        rgb[1] = q;
        break;
    case 4:
        rgb[0] = t;
        rgb[1] = p;
        break;
    case 5:
        rgb[1] = p;
        rgb[2] = q;
        break;
    default:
        break;
    }
}

namespace {

constexpr double two_pi = 6.283185307179586;

double clamped_value(double log_m)
{
    const double value = log_m / 10.0 + 0.5;
    return value < 0.0 ? 0.0 : (value > 1.0 ? 1.0 : value);
}

}  // namespace

colour_rgba live_colour(std::complex<float> z, std::complex<float> c)
{
    return displacement_colour(z.real() - c.real(), z.imag() - c.imag());
}

colour_rgba displacement_colour(float dx, float dy)
{
    const float m = static_cast<float>(std::sqrt(static_cast<double>(dx * dx + dy * dy)));
    const float x = dx / m;
    colour_rgba colour{};
    if (settled_colour(dx, m, x, colour))
        return colour;
    // The reflection tests dx, not dy: the hue depends on dx / m alone.
    float theta = static_cast<float>(std::acos(static_cast<double>(x)));
    if (dx < 0.0f)
        theta = static_cast<float>(two_pi - theta);
    std::uint8_t rgb[3];
    hsv_to_rgb(theta / two_pi, 0.5, clamped_value(std::log(static_cast<double>(m))), rgb);
    return {rgb[0], rgb[1], rgb[2], 255};
}
