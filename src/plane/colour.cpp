#include "plane/colour.h"

#include <cmath>
#include <cstring>

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
    case 0: rgb[1] = t; rgb[2] = p; break;
    case 1: rgb[0] = q; rgb[2] = p; break;
    case 2: rgb[0] = p; rgb[2] = t; break;
    case 3: rgb[0] = p; rgb[1] = q; break;
    case 4: rgb[0] = t; rgb[1] = p; break;
    case 5: rgb[1] = p; rgb[2] = q; break;
    default: break;
    }
}

namespace {

constexpr double two_pi = 6.283185307179586;

// Bounds, with a wide margin, on how far the approximations below stray
// from the true values (measured: 2.2e-8 and 7.1e-10), plus the library's
// own error.
constexpr double acos_error = 1e-7;
constexpr double log_error = 1e-8;

// acos within 2.2e-8 (Abramowitz and Stegun 4.4.46).
double approximate_acos(float x)
{
    const double a = std::fabs(static_cast<double>(x));
    const double poly =
        ((((((-0.0012624911 * a + 0.0066700901) * a - 0.0170881256) * a + 0.0308918810) * a - 0.0501743046) * a +
          0.0889789874) * a - 0.2145988016) * a + 1.5707963050;
    const double r = std::sqrt(1.0 - a) * poly;
    return x < 0.0f ? 3.141592653589793 - r : r;
}

// log of a positive normal float within 7.1e-10: the exponent's share plus
// the atanh series of the mantissa in [1/sqrt 2, sqrt 2].
double approximate_log(float m)
{
    std::uint32_t bits = 0;
    std::memcpy(&bits, &m, sizeof bits);
    int exponent = static_cast<int>((bits >> 23) & 0xFFu) - 127;
    const std::uint32_t mantissa_bits = (bits & 0x7FFFFFu) | (127u << 23);
    float mantissa_float = 0.0f;
    std::memcpy(&mantissa_float, &mantissa_bits, sizeof mantissa_float);
    double mantissa = mantissa_float;
    if (mantissa > 1.4142135623730951) {
        mantissa *= 0.5;
        ++exponent;
    }
    const double s = (mantissa - 1.0) / (mantissa + 1.0);
    const double s2 = s * s;
    return exponent * 0.6931471805599453 +
           2.0 * s * (1.0 + s2 * (1.0 / 3.0 + s2 * (1.0 / 5.0 + s2 * (1.0 / 7.0 + s2 * (1.0 / 9.0)))));
}

double clamped_value(double log_m)
{
    const double value = log_m / 10.0 + 0.5;
    return value < 0.0 ? 0.0 : (value > 1.0 ? 1.0 : value);
}

// to_byte for a value known to lie in [0, 255].
std::uint8_t byte_of(double x)
{
    return static_cast<std::uint8_t>(static_cast<int>(x));
}

struct sector_part {
    int sector;
    double f;
};

sector_part sector_of(float theta)
{
    // As hsv_to_rgb computes it from theta / two_pi.
    const double hue = theta / two_pi * 360.0 / 60.0;
    const int sector = static_cast<int>(hue);
    return {sector, hue - sector};
}

// The bytes of live_colour without the library's acos and log, when the
// approximations settle them: every value that the true theta and logarithm
// can have within the error bounds gives the same bytes, since each byte is
// a monotonic function of the rounded value and fraction (rounding keeps
// order), so checking the ends of both ranges suffices. False when it
// cannot tell (a byte boundary, a sector edge, m not a normal number).
bool settled_colour(float dx, float m, float x, colour_rgba& colour)
{
    if (!(m >= 1.17549435e-38f && m < 1e30f && x >= -1.0f && x <= 1.0f))
        return false;
    const double a = approximate_acos(x);
    if (!(a - acos_error > 0.0))
        return false;
    float theta_low = static_cast<float>(a - acos_error);
    float theta_high = static_cast<float>(a + acos_error);
    if (dx < 0.0f) {
        const float reflected_low = static_cast<float>(two_pi - theta_high);
        theta_high = static_cast<float>(two_pi - theta_low);
        theta_low = reflected_low;
    }
    const sector_part low = sector_of(theta_low);
    const sector_part high = sector_of(theta_high);
    // Sectors 0 to 5 only, and never a hue near 1 (taken as 0).
    if (low.sector != high.sector || low.sector < 0 || low.sector > 5 || !(high.f < 1.0) ||
        (low.sector == 5 && high.f > 0.999))
        return false;

    const double log_m = approximate_log(m);
    const double v_low = clamped_value(log_m - log_error) * 255.0;
    const double v_high = clamped_value(log_m + log_error) * 255.0;
    constexpr double s = 0.5;
    const std::uint8_t full = byte_of(v_low);
    if (byte_of(v_high) != full)
        return false;
    const std::uint8_t p = byte_of(v_low * (1.0 - s));
    if (byte_of(v_high * (1.0 - s)) != p)
        return false;
    colour = {full, full, full, 255};
    const bool needs_q = low.sector == 1 || low.sector == 3 || low.sector == 5;
    std::uint8_t other = 0;
    if (needs_q) {
        // q falls as f grows.
        other = byte_of(v_low * (1.0 - s * high.f));
        if (byte_of(v_high * (1.0 - s * low.f)) != other)
            return false;
    } else {
        // t rises with f.
        other = byte_of(v_low * (1.0 - s * (1.0 - low.f)));
        if (byte_of(v_high * (1.0 - s * (1.0 - high.f))) != other)
            return false;
    }
    switch (low.sector) {
    case 0: colour.g = other; colour.b = p; break;
    case 1: colour.r = other; colour.b = p; break;
    case 2: colour.r = p; colour.b = other; break;
    case 3: colour.r = p; colour.g = other; break;
    case 4: colour.r = other; colour.g = p; break;
    default: colour.g = p; colour.b = other; break;
    }
    return true;
}

}  // namespace

colour_rgba live_colour(std::complex<float> z, std::complex<float> c)
{
    const float dx = z.real() - c.real();
    const float dy = z.imag() - c.imag();
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
