#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "next_iterate.h"
#include "plane/plane_region.h"
#include "plane/x87_single_precision.h"

namespace {

// The saver's region: the bounds as single-precision values.
plane_region saver_region()
{
    return plane_region(saver_rectangle);
}

// A region whose grid values are the exact binary fractions -6 + i/64 and
// -4 + j/64, so that chosen parameters lie on the grid.
plane_region lattice_region()
{
    return plane_region(-6.0f, -4.0f, -6.0f + 679.0f / 64.0f, -4.0f + 509.0f / 64.0f);
}

struct lattice_point {
    int column;
    int row;
};

lattice_point on_lattice(float re, float im)
{
    return {static_cast<int>((re + 6.0f) * 64.0f), static_cast<int>((im + 4.0f) * 64.0f)};
}

int columns_handled(plane_region& region, double fraction)
{
    const int before = region.prepare_cursor;
    region.prepare_pass(fraction);
    return region.prepare_cursor - before;
}

bool same_bits(complex_f a, complex_f b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void expect_same_record(const iterated_point& grid, const iterated_point& alone, const char* when)
{
    EXPECT_TRUE(same_bits(grid.z, alone.z)) << when << " z " << grid.z << " vs " << alone.z;
    EXPECT_TRUE(same_bits(grid.start, alone.start)) << when;
    EXPECT_TRUE(same_bits(grid.c, alone.c)) << when;
    EXPECT_TRUE(same_bits(grid.drawn, alone.drawn)) << when;
    EXPECT_TRUE(same_bits(grid.ratio, alone.ratio)) << when << " ratio " << grid.ratio << " vs " << alone.ratio;
    EXPECT_TRUE(same_bits(grid.next, alone.next)) << when << " next " << grid.next << " vs " << alone.next;
    EXPECT_TRUE(same_bits(grid.next_ratio, alone.next_ratio))
        << when << " next_ratio " << grid.next_ratio << " vs " << alone.next_ratio;
    EXPECT_EQ(grid.steps, alone.steps) << when;
}

// As expect_same_record, with the grid's ratios checked against their
// definition rather than against the record's own log_ratio.
void expect_same_orbit(const iterated_point& grid, iterated_point alone, const char* when)
{
    SCOPED_TRACE(when);
    expect_ratio_by_definition(grid.ratio, grid.z, grid.c);
    alone.ratio = grid.ratio;
    if (alone.next != alone.z) {
        expect_ratio_by_definition(grid.next_ratio, grid.next, grid.c);
        alone.next_ratio = grid.next_ratio;
    } else {
        // Nothing prepared: a fresh record's zero, or the ratio a whole step
        // copied.
        alone.next_ratio = alone.steps == 0 ? complex_f(0.0f, 0.0f) : grid.ratio;
    }
    expect_same_record(grid, alone, when);
}

}  // namespace

TEST(plane_region, grid_is_accumulated_in_single_precision)
{
    const plane_region region = saver_region();
    ASSERT_EQ(region.columns, 680);
    ASSERT_EQ(region.rows, 510);
    EXPECT_EQ(region.point(0, 0).c, complex_f(-2.1f, -1.2f));
    EXPECT_EQ(static_cast<double>(region.point(679, 0).c.real()), 0.8000098466873169);
    EXPECT_EQ(static_cast<double>(region.point(0, 509).c.imag()), 1.1999987363815308);
    // Each column restarts its imaginary part; each row keeps its real part.
    for (int i : {0, 341, 679}) {
        EXPECT_EQ(region.point(i, 509).c.imag(), region.point(0, 509).c.imag());
        EXPECT_EQ(region.point(i, 200).c.real(), region.point(i, 0).c.real());
    }
    // Every record is fresh: init_at of its grid value.
    for (int i = 0; i < region.columns; i += 7)
        for (int j = 0; j < region.rows; j += 5) {
            const iterated_point p = region.point(i, j);
            iterated_point fresh{};
            fresh.init_at(p.c);
            ASSERT_NO_FATAL_FAILURE(expect_same_record(p, fresh, "fresh"));
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
    const iterated_point last = region.point(679, 509);
    EXPECT_EQ(last.next, next_iterate(last.z, last.c));
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
    region.prepare_pass(0.5);  // half prepared ahead, half on the spot
    region.advance_pass();
    EXPECT_EQ(region.pass_count, 1);
    EXPECT_EQ(region.prepare_cursor, 0);
    for (int i = 0; i < region.columns; ++i)
        for (int j = 0; j < region.rows; ++j) {
            const iterated_point p = region.point(i, j);
            ASSERT_EQ(p.steps, 1);
            ASSERT_EQ(p.z, next_iterate(p.c, p.c));
            ASSERT_EQ(p.next, p.z);
        }
}

TEST(plane_region, escape_test_decides_as_the_library_modulus)
{
    EXPECT_TRUE(within_escape_radius(complex_f(4.9999995f, 0.0f)));
    EXPECT_FALSE(within_escape_radius(complex_f(5.0f, 0.0f)));
    EXPECT_FALSE(within_escape_radius(complex_f(3.0f, -4.0f)));
    EXPECT_FALSE(within_escape_radius(complex_f(std::nanf(""), 0.0f)));
    EXPECT_FALSE(within_escape_radius(complex_f(0.0f, INFINITY)));
    EXPECT_FALSE(within_escape_radius(complex_f(-3e38f, 3e38f)));
    EXPECT_TRUE(within_escape_radius(complex_f(0.0f, 0.0f)));

    // Every float step along the real axis across the radius and across both
    // ends of the shell that the library decides, then random directions
    // near the radius.
    std::vector<complex_f> samples;
    for (const float start : {4.995f, 4.998f, 5.0f, 5.002f})
        for (float x = start, n = 0; n < 30000; ++n, x = std::nextafter(x, 6.0f)) {
            samples.emplace_back(x, 0.0f);
            samples.emplace_back(-x, 0.0f);
            samples.emplace_back(0.0f, x);
            samples.emplace_back(0.0f, -x);
        }
    std::mt19937 engine(5);
    std::uniform_real_distribution<double> angle(0.0, 6.283185307179586);
    std::uniform_real_distribution<double> radius(4.997, 5.003);
    for (int n = 0; n < 400000; ++n) {
        const double a = angle(engine);
        const double r = radius(engine);
        samples.emplace_back(static_cast<float>(r * std::cos(a)), static_cast<float>(r * std::sin(a)));
    }
    int disagreements = 0;
    int inside = 0;
    for (const complex_f z : samples) {
        disagreements += within_escape_radius(z) != (std::abs(z) < 5.0f);
        inside += std::abs(z) < 5.0f;
    }
    EXPECT_EQ(disagreements, 0);
    EXPECT_GT(inside, 100000);
    EXPECT_LT(inside, static_cast<int>(samples.size()) - 100000);
}

TEST(plane_region, escaped_points_are_never_advanced_again)
{
    plane_region region = saver_region();
    region.set_iterate(10, 10, complex_f(3.0f, 4.0f));
    region.set_iterate(11, 10, complex_f(std::nanf(""), 0.0f));
    region.advance_pass();
    region.advance_pass();
    EXPECT_EQ(region.point(10, 10).steps, 0);
    EXPECT_EQ(region.point(10, 10).z, complex_f(3.0f, 4.0f));
    EXPECT_EQ(region.point(11, 10).steps, 0);
    EXPECT_EQ(region.point(12, 10).steps, 2);
}

TEST(plane_region, a_point_moved_by_hand_goes_on_from_there)
{
    plane_region region = saver_region();
    region.prepare_pass(0.5);
    // One point in a prepared column, one in a column not reached yet; a
    // point that had escaped comes back when moved inside.
    const complex_f z(0.3f, -0.2f);
    region.set_iterate(20, 30, z);
    region.set_iterate(600, 30, z);
    region.set_iterate(21, 30, complex_f(6.0f, 0.0f));
    std::vector<iterated_point> alone;
    for (const int column : {20, 600}) {
        alone.emplace_back();
        alone.back().init_at(region.point(column, 30).c);
        alone.back().z = z;
        alone.back().drawn = z;
        alone.back().next = z;
        if (column < region.prepare_cursor)
            alone.back().prepare_next();
        expect_same_orbit(region.point(column, 30), alone.back(), "moved");
    }
    region.advance_pass();
    alone[0].advance();
    alone[1].advance();
    expect_same_orbit(region.point(20, 30), alone[0], "advanced after the move");
    expect_same_orbit(region.point(600, 30), alone[1], "advanced after the move");
    EXPECT_EQ(region.point(21, 30).steps, 0);
    region.set_iterate(21, 30, complex_f(0.0f, 0.0f));
    region.advance_pass();
    EXPECT_EQ(region.point(21, 30).steps, 1);
    EXPECT_EQ(region.point(21, 30).z, region.point(21, 30).c);
}

// A square below float's least normal value, 2^-126, where the x87 unit at
// 24-bit precision control keeps bits that float loses: beside c = 0 (a grid
// the 24-bit iteration must leave to the stored one) the next iterate is
// still float's. x = 2^-64 (1 + 2^-23): x * x rounds once, to float's
// subnormal 2^-128 (1 + 2^-21); through 24 bits first it would be 2^-128,
// and 2 x * x would keep 2^-127 (1 + 2^-22).
TEST(plane_region, next_iterates_round_as_float_below_the_normal_range)
{
    plane_region region(0.0f, 0.0f, 1.0f, 1.0f);
    region.prepare_pass(1.0);
    const float x = 0x1.000002p-64f;
    region.set_iterate(0, 0, complex_f(x, 0.0f));
    EXPECT_EQ(region.point(0, 0).next, complex_f(0x1.000008p-128f, 0.0f));
    region.set_iterate(0, 0, complex_f(x, x));
    EXPECT_EQ(region.point(0, 0).next, complex_f(0.0f, 0x1.000008p-127f));
}

// 1 / 3 rounds to float's 24 bits inside the guard on the x87 unit (nothing
// changes elsewhere), and to double's 53 again after it.
TEST(plane_region, single_precision_guard_rounds_to_24_bits_and_restores)
{
    volatile double one = 1.0;
    volatile double three = 3.0;
    volatile double inside = 0.0;
    {
        const x87_single_precision guard;
        inside = one / three;
    }
    const double after = one / three;
#if defined(__i386__) && !defined(__SSE_MATH__)
    EXPECT_EQ(inside, 0x1.555556p-2);
#else
    EXPECT_EQ(inside, 0x1.5555555555555p-2);
#endif
    EXPECT_EQ(after, 0x1.5555555555555p-2);
}

// The grid against single records stepped by hand the straightforward way,
// on parameters whose orbits reach exact fixed points and 2-cycles, take the
// logarithm of 0 or 1, or start on or beyond the radius. Cycles are prepared
// fully, partly and not at all.
TEST(plane_region, records_match_points_stepped_alone_on_exact_orbits)
{
    plane_region region = lattice_region();
    const complex_f parameters[] = {
        {0.0f, 0.0f},     // fixed at 0 at once: log 0 on both sides
        {1.0f, 0.0f},     // log 1 = 0; reaches exactly 5 at the third iterate
        {-1.0f, 0.0f},    // 2-cycle -1, 0
        {-2.0f, 0.0f},    // fixed at 2 after two steps
        {0.0f, 1.0f},     // 2-cycle -1 + i, -i
        {0.25f, 0.0f},    // creeps toward 1/2
        {-0.125f, 0.5f},  // converges to an attracting fixed point
        {-5.0f, 0.0f},    // on the radius from the start
        {-3.0f, -4.0f},   // on the radius from the start
        {-6.0f, -4.0f},   // beyond it
        {-1.75f, 0.0f},   // edge of the period-3 window
    };
    std::vector<lattice_point> where;
    std::vector<iterated_point> alone;
    for (const complex_f c : parameters) {
        where.push_back(on_lattice(c.real(), c.imag()));
        ASSERT_EQ(region.point(where.back().column, where.back().row).c, c);
        alone.emplace_back();
        alone.back().init_at(c);
    }
    auto compare_all = [&](const char* when) {
        for (std::size_t n = 0; n < where.size(); ++n) {
            SCOPED_TRACE(testing::Message() << "c = " << parameters[n] << ", pass " << region.pass_count);
            expect_same_record(region.point(where[n].column, where[n].row), alone[n], when);
        }
    };
    compare_all("fresh");
    for (int cycle = 1; cycle <= 100; ++cycle) {
        // Full look-ahead, then half of it, then none, in turn.
        const int prepared_phases = cycle % 3 == 0 ? 29 : (cycle % 3 == 1 ? 14 : 0);
        for (int phase = 1; phase <= prepared_phases; ++phase)
            region.prepare_pass(phase / 29.0);
        if (region.pass_count < plane_region::max_passes)
            for (std::size_t n = 0; n < where.size(); ++n)
                if (where[n].column < region.prepare_cursor && std::abs(alone[n].z) < 5.0f)
                    alone[n].prepare_next();
        compare_all("prepared");
        region.advance_pass();
        if (region.pass_count == cycle)
            for (auto& point : alone)
                if (std::abs(point.z) < 5.0f)
                    point.advance();
        compare_all("advanced");
    }
    EXPECT_EQ(region.pass_count, 96);
    EXPECT_EQ(alone[1].steps, 2);  // 1, 2, then exactly 5
    EXPECT_EQ(alone[7].steps, 0);
    EXPECT_EQ(alone[3].steps, 96);
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
    for (int i = 0; i < region.columns; ++i)
        for (int j = 0; j < region.rows; ++j) {
            const iterated_point p = region.point(i, j);
            complex_f z = p.c;
            int steps = 0;
            while (steps < 96 && std::abs(z) < 5.0f) {
                z = next_iterate(z, p.c);
                ++steps;
            }
            ASSERT_EQ(p.steps, steps) << p.c;
            ASSERT_EQ(p.z, z) << p.c;
            live += p.steps == region.pass_count;
        }
    // The set covers a known share of this rectangle (about 1.5 of its 6.96 area units).
    EXPECT_GT(live, 70000);
    EXPECT_LT(live, 80000);
    // Main cardioid and period-2 disc are live; far corners are not.
    EXPECT_EQ(region.point(400, 255).steps, 96);  // c near -0.1
    EXPECT_LT(region.point(0, 0).steps, 3);
}
