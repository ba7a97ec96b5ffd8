// Compiled without -ffloat-store in the 32-bit x87 build (src/CMakeLists.txt):
// no float arithmetic here, only conversions to float, which store. Each
// double result at 53-bit precision control is the SSE unit's as long as it
// is neither subnormal nor beyond double's range, and none comes near: the
// inputs are a normal float m below 1e30 and x in [-1, 1], the smallest
// nonzero intermediate is about s^2 / 9 with |s| >= 2^-25, the largest
// 1.5 * 2^52 + 255.
#include "mandelbrot/settled_colour.h"

#include <cmath>
#include <cstring>

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

// hsv_to_rgb's bytes for a hue in sector (0 to 5): the full value, the one
// that moves with the hue, and the lowest.
colour_rgba sector_colour(int sector, std::uint8_t full, std::uint8_t other, std::uint8_t p)
{
    colour_rgba colour = {full, full, full, 255};
    switch (sector) {
    case 0:
        colour.g = other;
        colour.b = p;
        break;
    case 1:
        colour.r = other;
        colour.b = p;
        break;
    case 2:
        colour.r = p;
        colour.b = other;
        break;
    case 3:
        colour.r = p;
        colour.g = other;
        break;
    case 4:
        colour.r = other;
        colour.g = p;
        break;
    default:
        colour.g = p;
        colour.b = other;
        break;
    }
    return colour;
}

}  // namespace

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
    colour = sector_colour(sector, full, other, p);
    return true;
}
