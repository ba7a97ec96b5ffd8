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
    // In Estrin's order: four short products side by side instead of one
    // long chain of dependent ones.
    const double a2 = a * a;
    const double a4 = a2 * a2;
    const double poly = (1.5707963050 - 0.2145988016 * a) + a2 * (0.0889789874 - 0.0501743046 * a) +
                        a4 * ((0.0308918810 - 0.0170881256 * a) + a2 * (0.0066700901 - 0.0012624911 * a));
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

double clamped(double value)
{
    return value < 0.0 ? 0.0 : (value > 1.0 ? 1.0 : value);
}

double clamped_value(double log_m)
{
    return clamped(log_m / 10.0 + 0.5);
}

// static_cast<int>(x) for x in [0, 2^31) only, as the name says: any other
// x gives a wrong number, not an error. Without a conversion instruction:
// the 32-bit build keeps doubles on the x87 unit, where each truncating
// conversion switches the rounding mode twice, and the colour makes eight.
// Adding 1.5 * 2^52 rounds x to a whole number in the sum's low bits; that
// is x's floor or the next one up, whatever the precision of the sum.
int truncated_non_negative_int(double x)
{
    const double shifted = x + 6755399441055744.0;
    std::uint64_t bits = 0;
    std::memcpy(&bits, &shifted, sizeof bits);
    const int nearest = static_cast<int>(static_cast<std::uint32_t>(bits & 0x7FFFFFFFu));
    return nearest > x ? nearest - 1 : nearest;
}

// to_byte for a value known to lie in [0, 255].
std::uint8_t byte_of(double x)
{
    return static_cast<std::uint8_t>(truncated_non_negative_int(x));
}

// The bytes of live_colour without the library's acos and log, when the
// approximations settle them. Every quantity is bounded from below and
// above, the roundings of the exact computation included; each byte is a
// monotonic function of value and hue (rounding keeps order), so equal bytes
// at both ends of the bounds are the exact computation's bytes. False when
// it cannot tell: a byte boundary or a sector edge within the bounds, m not a
// normal number, dx / m outside [-1, 1].
bool settled_colour(float dx, float m, float x, colour_rgba& colour)
{
    if (!(m >= 1.17549435e-38f && m < 1e30f && x >= -1.0f && x <= 1.0f))
        return false;
    const double a = approximate_acos(x);
    if (!(a - acos_error > 0.0))
        return false;
    // The exact theta is acos rounded to a float, so these floats bound it.
    double theta_low = static_cast<float>(a - acos_error);
    double theta_high = static_cast<float>(a + acos_error);
    if (dx < 0.0f) {
        const double reflected_low = static_cast<float>(two_pi - theta_high);
        theta_high = static_cast<float>(two_pi - theta_low);
        theta_low = reflected_low;
    }
    // hsv_to_rgb's hue theta / two_pi * 360 / 60, three roundings off this.
    constexpr double sixths = 6.0 / two_pi;
    constexpr double hue_rounding = 1e-14;
    const double hue_low = theta_low * sixths - hue_rounding;
    const double hue_high = theta_high * sixths + hue_rounding;
    if (!(hue_low >= 0.0 && hue_high < 6.0))
        return false;
    const int sector = truncated_non_negative_int(hue_low);
    if (truncated_non_negative_int(hue_high) != sector)
        return false;
    // Exact subtractions, as in hsv_to_rgb.
    const double f_low = hue_low - sector;
    const double f_high = hue_high - sector;

    // log(m) / 10 + 0.5 as the exact computation rounds it, bounded.
    constexpr double value_error = log_error / 10.0 + 1e-15;
    const double value = approximate_log(m) * 0.1 + 0.5;
    const double v_low = clamped(value - value_error) * 255.0;
    const double v_high = clamped(value + value_error) * 255.0;
    constexpr double s = 0.5;
    const std::uint8_t full = byte_of(v_low);
    const std::uint8_t p = byte_of(v_low * (1.0 - s));
    std::uint8_t other = 0;
    bool same = byte_of(v_high) == full && byte_of(v_high * (1.0 - s)) == p;
    if (sector & 1) {
        // q falls as f grows.
        other = byte_of(v_low * (1.0 - s * f_high));
        same = same && byte_of(v_high * (1.0 - s * f_low)) == other;
    } else {
        // t rises with f.
        other = byte_of(v_low * (1.0 - s * (1.0 - f_low)));
        same = same && byte_of(v_high * (1.0 - s * (1.0 - f_high))) == other;
    }
    if (!same)
        return false;
    colour = {full, full, full, 255};
    switch (sector) {
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
