#include <gtest/gtest.h>

#include <cmath>

#include "plane/plane_region.h"

namespace {

// The saver's region: the bounds as single-precision values.
plane_region saver_region()
{
    return plane_region(-2.1f, -1.2f, 0.8f, 1.2f);
}

int columns_handled(plane_region& region, double fraction)
{
    const int before = region.prepare_cursor;
    region.prepare_pass(fraction);
    return region.prepare_cursor - before;
}

}  // namespace

TEST(plane_region, grid_is_accumulated_in_single_precision)
{
    const plane_region region = saver_region();
    ASSERT_EQ(region.columns, 680);
    ASSERT_EQ(region.rows, 510);
    ASSERT_EQ(region.grid.size(), 680u);
    EXPECT_EQ(region.grid[0][0].c, complex_f(-2.1f, -1.2f));
    EXPECT_EQ(static_cast<double>(region.grid[679][0].c.real()), 0.8000098466873169);
    EXPECT_EQ(static_cast<double>(region.grid[0][509].c.imag()), 1.1999987363815308);
    // Each column restarts its imaginary part; each row keeps its real part.
    for (int i : {0, 341, 679}) {
        ASSERT_EQ(region.grid[static_cast<std::size_t>(i)].size(), 510u);
        EXPECT_EQ(region.grid[static_cast<std::size_t>(i)][509].c.imag(), region.grid[0][509].c.imag());
        EXPECT_EQ(region.grid[static_cast<std::size_t>(i)][200].c.real(),
                  region.grid[static_cast<std::size_t>(i)][0].c.real());
    }
    for (const auto& column : region.grid)
        for (const auto& p : column) {
            ASSERT_EQ(p.z, p.c);
            ASSERT_EQ(p.next, p.z);
            ASSERT_EQ(p.steps, 0);
        }
    EXPECT_EQ(region.pass_count, 0);
    EXPECT_EQ(region.prepare_cursor, 0);
}

TEST(plane_region, prepare_passes_hand_out_23_or_24_columns_and_reach_the_end)
{
    plane_region region = saver_region();
    EXPECT_EQ(columns_handled(region, 0.0), 0);
    EXPECT_EQ(columns_handled(region, -1.0), 0);
    int total = 0;
    for (int phase = 1; phase <= 29; ++phase) {
        const int handled = columns_handled(region, phase / 29.0);
        EXPECT_TRUE(handled == 23 || handled == 24) << "phase " << phase << ": " << handled;
        total += handled;
        // The cursor stops at the first column whose share reaches phase / 29.
        EXPECT_EQ(total, (680 * phase + 28) / 29) << "phase " << phase;
    }
    EXPECT_EQ(total, 680);
    EXPECT_EQ(region.prepare_cursor, 680);
    EXPECT_EQ(columns_handled(region, 2.0), 0);  // never beyond the last column
    // Every live point of every column got its look-ahead.
    EXPECT_EQ(region.grid[679][509].next, square(region.grid[679][509].z) + region.grid[679][509].c);
}

TEST(plane_region, fraction_at_or_below_the_cursor_handles_nothing)
{
    plane_region region = saver_region();
    region.prepare_pass(1.0 / 29.0);
    const int cursor = region.prepare_cursor;
    EXPECT_EQ(columns_handled(region, static_cast<double>(cursor) / 680.0), 0);
    EXPECT_EQ(columns_handled(region, 1.0), 680 - cursor);
}

TEST(plane_region, first_whole_pass_advances_every_point)
{
    plane_region region = saver_region();
    region.prepare_pass(0.5);
    region.advance_pass();
    EXPECT_EQ(region.pass_count, 1);
    EXPECT_EQ(region.prepare_cursor, 0);
    for (const auto& column : region.grid)
        for (const auto& p : column) {
            ASSERT_EQ(p.steps, 1);
            ASSERT_EQ(p.z, square(p.c) + p.c);
        }
}

TEST(plane_region, escape_at_exactly_five_and_at_not_a_number)
{
    EXPECT_TRUE(within_escape_radius(complex_f(4.9999995f, 0.0f)));
    EXPECT_FALSE(within_escape_radius(complex_f(5.0f, 0.0f)));
    EXPECT_FALSE(within_escape_radius(complex_f(3.0f, -4.0f)));
    EXPECT_FALSE(within_escape_radius(complex_f(std::nanf(""), 0.0f)));
    EXPECT_FALSE(within_escape_radius(complex_f(0.0f, INFINITY)));

    plane_region region = saver_region();
    region.grid[10][10].z = complex_f(3.0f, 4.0f);
    region.grid[11][10].z = complex_f(std::nanf(""), 0.0f);
    region.advance_pass();
    region.advance_pass();
    EXPECT_EQ(region.grid[10][10].steps, 0);
    EXPECT_EQ(region.grid[10][10].z, complex_f(3.0f, 4.0f));
    EXPECT_EQ(region.grid[11][10].steps, 0);
    EXPECT_EQ(region.grid[12][10].steps, 2);
}

TEST(plane_region, live_points_follow_the_escape_time_test_and_stop_after_96_passes)
{
    plane_region region = saver_region();
    for (int pass = 1; pass <= 100; ++pass) {
        for (int phase = 1; phase <= 29; ++phase)
            region.prepare_pass(phase / 29.0);
        region.advance_pass();
    }
    EXPECT_EQ(region.pass_count, 96);
    EXPECT_EQ(region.prepare_cursor, 0);
    region.prepare_pass(1.0);
    EXPECT_EQ(region.prepare_cursor, 0);

    // Compare with a plain escape-time iteration of the same grid values.
    int live = 0;
    for (const auto& column : region.grid)
        for (const auto& p : column) {
            complex_f z = p.c;
            int steps = 0;
            while (steps < 96 && std::abs(z) < 5.0f) {
                z = square(z) + p.c;
                ++steps;
            }
            ASSERT_EQ(p.steps, steps) << p.c;
            live += p.steps == region.pass_count;
        }
    // The set covers a known share of this rectangle (about 1.5 of its 6.96 area units).
    EXPECT_GT(live, 70000);
    EXPECT_LT(live, 80000);
    // Main cardioid and period-2 disc are live; far corners are not.
    EXPECT_EQ(region.grid[400][255].steps, 96);  // c near -0.1
    EXPECT_LT(region.grid[0][0].steps, 3);
}
