// The plane's colours, which mostly come from approximations of acos and
// log, against the definition in double precision, where a small error
// shows: displacements just below and above each byte boundary and each
// hue sector's edge.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "mandelbrot/colour.h"

namespace {

constexpr double two_pi = 6.283185307179586;

std::array<int, 4> bytes(colour_rgba c)
{
    return {c.r, c.g, c.b, c.a};
}

// The definition, with the picture's own float roundings of m, dx / m and
// theta: hue from std::acos, value from std::log, the textbook hsv (sector
// and fraction from the hue in degrees over 60), bytes truncated.
std::array<int, 4> colour_by_definition(float dx, float dy)
{
    const float m = static_cast<float>(std::sqrt(static_cast<double>(dx * dx + dy * dy)));
    float theta = static_cast<float>(std::acos(static_cast<double>(dx / m)));
    if (dx < 0.0f)
        theta = static_cast<float>(two_pi - theta);
    const double v = std::min(1.0, std::max(0.0, std::log(static_cast<double>(m)) / 10.0 + 0.5));
    const double value = v * 255.0;
    const double hue = theta / two_pi * 360.0 / 60.0;
    const int sector = static_cast<int>(hue);
    const double f = hue - sector;
    const int full = static_cast<int>(value);
    const int p = static_cast<int>(value * 0.5);
    const int q = static_cast<int>(value * (1.0 - 0.5 * f));
    const int t = static_cast<int>(value * (1.0 - 0.5 * (1.0 - f)));
    const std::array<int, 3> rgb[6] = {{full, t, p}, {q, full, p}, {p, full, t},
                                       {p, q, full}, {t, p, full}, {full, p, q}};
    return {rgb[sector][0], rgb[sector][1], rgb[sector][2], 255};
}

// The displacement of length m at angle theta (hue theta / 2 pi, as dy >= 0
// makes it) and its neighbours up to reach floats apart in dx.
void add_around(std::vector<std::array<float, 2>>& samples, double m, double theta)
{
    constexpr int reach = 8;
    const float dy = static_cast<float>(m * std::sin(theta));
    float dx = static_cast<float>(m * std::cos(theta));
    for (int n = 0; n < reach; ++n)
        dx = std::nextafter(dx, -INFINITY);
    for (int n = 0; n <= 2 * reach; ++n, dx = std::nextafter(dx, INFINITY))
        samples.push_back({dx, dy});
}

}  // namespace

TEST(colour, fast_path_gives_the_definitions_bytes_at_every_boundary)
{
    std::vector<std::array<float, 2>> samples;
    // The displacement's hue lies in [0, 0.25] for dx >= 0 and [0.5, 0.75]
    // for dx < 0: sectors 0, 1, 3 and 4.
    const double hues[] = {0.03, 0.2, 0.55, 0.7};
    const double reachable[][2] = {{0.0, 1.5}, {3.0, 4.5}};
    // Value bytes: length e^(10 (k / 255 - 0.5)) makes value * 255 = k.
    for (int k = 1; k < 255; ++k)
        for (const double h : hues)
            add_around(samples, std::exp(10.0 * (k / 255.0 - 0.5)), h * two_pi);
    // Bytes of q and t, which vary across a sector, at values of all sizes:
    // value * (1 - f / 2) = b and value * (1 + f) / 2 = b.
    for (int k = 20; k < 255; k += 7) {
        const double value = k + 0.5;
        const double m = std::exp(10.0 * (value / 255.0 - 0.5));
        for (int b = static_cast<int>(value / 2.0) + 1; b <= k; ++b) {
            for (const auto& range : reachable)
                for (int sector = static_cast<int>(range[0]); sector < range[1]; ++sector) {
                    const double f = sector % 2 == 1 ? 2.0 * (1.0 - b / value) : 2.0 * b / value - 1.0;
                    if (sector + f < range[1])
                        add_around(samples, m, (sector + f) / 6.0 * two_pi);
                }
        }
    }
    // Sector edges and the ends of the reachable hues, at several values.
    for (const double m : {0.01, 0.3, 1.0, 2.5, 40.0})
        for (const double hue : {0.0, 1.0, 1.5, 3.0, 4.0, 4.5})
            add_around(samples, m, hue / 6.0 * two_pi);

    int wrong = 0;
    for (const auto& s : samples) {
        const std::array<int, 4> expected = colour_by_definition(s[0], s[1]);
        const std::array<int, 4> got = bytes(displacement_colour(s[0], s[1]));
        if (got != expected && ++wrong <= 5)
            ADD_FAILURE() << "dx " << s[0] << ", dy " << s[1] << ": got " << got[0] << " " << got[1] << " " << got[2]
                          << ", the definition " << expected[0] << " " << expected[1] << " " << expected[2];
    }
    EXPECT_EQ(wrong, 0) << "of " << samples.size() << " displacements";
}
