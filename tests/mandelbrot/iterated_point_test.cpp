#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "mandelbrot/iterated_point.h"
#include "next_iterate.h"

namespace {

bool same_bits(complex_f a, complex_f b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void expect_same_record(const iterated_point& a, const iterated_point& b)
{
    EXPECT_TRUE(same_bits(a.z, b.z));
    EXPECT_TRUE(same_bits(a.start, b.start));
    EXPECT_TRUE(same_bits(a.c, b.c));
    EXPECT_TRUE(same_bits(a.drawn, b.drawn));
    EXPECT_TRUE(same_bits(a.ratio, b.ratio));
    EXPECT_TRUE(same_bits(a.next, b.next));
    EXPECT_TRUE(same_bits(a.next_ratio, b.next_ratio));
    EXPECT_EQ(a.steps, b.steps);
}

iterated_point at(complex_f p)
{
    iterated_point point{};
    point.init_at(p);
    return point;
}

}  // namespace

TEST(iterated_point, fresh_record_and_its_first_step)
{
    const complex_f p(-0.3f, 0.4f);
    iterated_point point = at(p);
    EXPECT_EQ(point.z, p);
    EXPECT_EQ(point.start, p);
    EXPECT_EQ(point.c, p);
    EXPECT_EQ(point.drawn, p);
    EXPECT_EQ(point.next, p);
    EXPECT_EQ(point.next_ratio, complex_f(0.0f, 0.0f));
    EXPECT_EQ(point.steps, 0);
    expect_ratio_by_definition(point.ratio, p, p);

    point.advance();
    const complex_f second = next_iterate(p, p);
    EXPECT_TRUE(same_bits(point.z, second));
    EXPECT_TRUE(same_bits(point.drawn, second));
    EXPECT_TRUE(same_bits(point.next, point.z));  // nothing prepared again
    expect_ratio_by_definition(point.ratio, second, p);
    EXPECT_EQ(point.steps, 1);
    EXPECT_EQ(point.start, p);
}

TEST(iterated_point, prepared_and_unprepared_steps_end_in_the_same_state)
{
    for (const complex_f p : {complex_f(-0.3f, 0.4f), complex_f(-1.7f, 0.01f), complex_f(0.26f, 0.0f),
                              complex_f(-0.75f, 0.1f), complex_f(0.0f, 1.0f)}) {
        iterated_point plain = at(p);
        iterated_point ahead = at(p);
        // Owners stop advancing a point once it escapes.
        for (int step = 0; step < 40 && std::abs(plain.z) < 5.0f; ++step) {
            ahead.interpolate(0.5f);
            plain.interpolate(0.5f);
            ahead.prepare_next();
            ahead.advance();
            plain.advance();
            expect_same_record(plain, ahead);
        }
    }
}

TEST(iterated_point, interpolation_follows_the_spiral_arc)
{
    iterated_point point = at(complex_f(-0.4f, 0.5f));
    point.advance();
    const complex_f z = point.z;
    const complex_f successor = next_iterate(z, point.c);

    point.interpolate(0.0f);
    EXPECT_NEAR(point.drawn.real(), z.real(), 1e-6f);
    EXPECT_NEAR(point.drawn.imag(), z.imag(), 1e-6f);

    point.interpolate(0.999f);
    EXPECT_NEAR(std::abs(point.drawn - successor), 0.0f, 2e-3f);

    for (const float t : {0.25f, 0.5f, 0.75f}) {
        point.interpolate(t);
        const float expected_modulus = std::pow(std::abs(z), 1.0f - t) * std::pow(std::abs(successor), t);
        EXPECT_NEAR(std::abs(point.drawn), expected_modulus, 1e-5f);
        const float lo = std::min(std::arg(z), std::arg(successor));
        const float hi = std::max(std::arg(z), std::arg(successor));
        EXPECT_GE(std::arg(point.drawn), lo - 1e-6f);
        EXPECT_LE(std::arg(point.drawn), hi + 1e-6f);
    }
    // Interpolation leaves the whole step alone.
    EXPECT_EQ(point.z, z);
    EXPECT_EQ(point.steps, 1);
}

TEST(iterated_point, real_positive_orbit_stays_on_the_real_axis)
{
    iterated_point point = at(complex_f(0.2f, 0.0f));
    for (int step = 0; step < 5; ++step) {
        for (int k = 1; k < 60; ++k) {
            point.interpolate(static_cast<float>(k) / 60.0f);
            EXPECT_EQ(point.drawn.imag(), 0.0f);
            EXPECT_GT(point.drawn.real(), 0.0f);
        }
        point.advance();
    }
    EXPECT_EQ(point.start, complex_f(0.2f, 0.0f));
}

TEST(iterated_point, exact_fixed_point_counts_as_unprepared_and_stays_put)
{
    // z = 0, c = 0: z*z + c == z exactly.
    iterated_point point = at(complex_f(0.0f, 0.0f));
    point.prepare_next();
    EXPECT_EQ(point.next, point.z);
    point.advance();
    EXPECT_EQ(point.z, complex_f(0.0f, 0.0f));
    EXPECT_EQ(point.steps, 1);
}

TEST(iterated_point, ratio_at_z_equal_to_one_is_not_a_number_and_passes_through)
{
    // log(1) = 0: the division has no finite result.
    iterated_point point{};
    point.init_at(complex_f(0.0f, 0.0f));
    const complex_f r = point.log_ratio(complex_f(1.0f, 0.0f));
    EXPECT_FALSE(std::isfinite(r.real()) && std::isfinite(r.imag()));
}

// Each product of the square rounded to single precision before the
// difference, as on an SSE unit: the x87 unit would hold both products
// exactly and round only the difference. Arguments where the two differ,
// with the single-precision results worked out apart from this code.
TEST(iterated_point, square_rounds_each_product_to_single_precision)
{
    struct case_t {
        float re;
        float im;
        float square_re;
    };
    const case_t cases[] = {
        {0x1.a54a1ap+0f, 0x1.c3e49cp-1f, 0x1.ede0fep+0f},
        {0x1.3e3f40p+0f, 0x1.2c9ac6p+0f, 0x1.5530a0p-3f},
        {0x1.7a3632p+0f, 0x1.aedeaap+0f, -0x1.4cd958p-1f},
    };
    for (const case_t& c : cases) {
        // Through memory the compiler cannot see into, so that the product
        // is computed when the test runs, not folded when it is built.
        volatile float re = c.re;
        volatile float im = c.im;
        EXPECT_EQ(square(complex_f(re, im)).real(), c.square_re) << std::hexfloat << c.re << ", " << c.im;
    }
}
