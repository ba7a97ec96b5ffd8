#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "next_iterate.h"
#include "orbits/orbit_path.h"
#include "random/random.h"

namespace {

constexpr colour_rgba colour{10, 20, 30, 0};

std::array<complex_f, orbit_path::max_steps> orbit;

}  // namespace

TEST(orbit_path, acceptance_rules)
{
    // |c|^2 > 0.5 makes the first step longer than 0.5.
    EXPECT_EQ(orbit_path::accepted_steps(complex_f(-0.8f, 0.3f), orbit.data()), 0);
    // Settles in fewer than 12 steps.
    EXPECT_EQ(orbit_path::accepted_steps(complex_f(0.01f, 0.0f), orbit.data()), 0);
    // Crosses the real axis (c in the period-2 disc swings around -1).
    EXPECT_EQ(orbit_path::accepted_steps(complex_f(-0.6f, 0.05f), orbit.data()), 0);
    // Near the cardioid's edge the orbit spirals slowly around its fixed
    // point above the axis and is still moving after 128 points.
    const complex_f slow(-0.04f, 0.62f);
    EXPECT_EQ(orbit_path::accepted_steps(slow, orbit.data()), 128);
    EXPECT_EQ(orbit[0], slow);
    EXPECT_EQ(orbit[1], next_iterate(slow, slow));
    // The real parabolic point creeps toward its limit and settles after 12 steps.
    EXPECT_EQ(orbit_path::accepted_steps(complex_f(-0.5f, 0.0f), orbit.data()), 12);
}

TEST(orbit_path, accepted_paths_have_consistent_layout_and_colours)
{
    seed_random_engine(2024);
    for (int attempt = 0; attempt < 20; ++attempt) {
        const orbit_path path(colour);
        const int n = path.path_length / 9;
        ASSERT_GE(n, 12);
        ASSERT_LE(n, 128);
        EXPECT_EQ(path.path_length, 9 * n);
        EXPECT_EQ(path.tail_length, 9 * std::min(n, 96));
        ASSERT_EQ(path.vertices.size(), static_cast<std::size_t>(18 * n));
        ASSERT_EQ(path.colours.size(), static_cast<std::size_t>(path.tail_length));
        EXPECT_EQ(path.shown, 3);
        EXPECT_EQ(path.first, 0);
        EXPECT_EQ(path.colour_first, path.tail_length - 3);
        // Starts at c (twice), mirrored around the middle.
        EXPECT_EQ(path.vertices[0].x, path.start.real());
        EXPECT_EQ(path.vertices[0].y, path.start.imag());
        EXPECT_NEAR(path.vertices[1].x, path.start.real(), 1e-6f);
        EXPECT_NEAR(path.vertices[1].y, path.start.imag(), 1e-6f);
        for (std::size_t j = 0; j < static_cast<std::size_t>(9 * n); ++j) {
            ASSERT_EQ(path.vertices[path.vertices.size() - 1 - j].x, path.vertices[j].x);
            ASSERT_EQ(path.vertices[path.vertices.size() - 1 - j].y, path.vertices[j].y);
        }
        EXPECT_GE(path.start.real(), -2.1f);
        EXPECT_LT(path.start.real(), 0.8f);
        // A brighter head over a half-opaque strip.
        const int expected_tail[] = {229, 209, 192, 179, 169, 161, 154, 149, 144, 141};
        for (int k = 1; k <= 10; ++k)
            EXPECT_EQ(path.colours[static_cast<std::size_t>(path.tail_length - k)].a, expected_tail[k - 1]);
        EXPECT_EQ(path.colours[static_cast<std::size_t>(path.tail_length - 20)].a, 128);
        EXPECT_EQ(path.colours[0].a, 127);
        EXPECT_EQ(path.colours[0].r, 10);
    }
}

TEST(orbit_path, consumes_two_draws_per_candidate_imaginary_part_first)
{
    seed_random_engine(99);
    const orbit_path path(colour);
    // Replay the draws: the accepted candidate is the first pair that passes.
    seed_random_engine(99);
    for (;;) {
        const double v1 = uniform_generator();
        const double v2 = uniform_generator();
        const complex_f c(static_cast<float>(-2.1 + 2.9000000000000004 * v2), static_cast<float>(-1.2 + 2.4 * v1));
        if (orbit_path::accepted_steps(c, orbit.data()) != 0) {
            EXPECT_EQ(path.start, c);
            break;
        }
    }
    // Nothing more was drawn.
    const double after = uniform_generator();
    seed_random_engine(99);
    const orbit_path again(colour);
    EXPECT_EQ(uniform_generator(), after);
}

namespace {

// A path built around a given orbit length n, to pin down the window.
struct window_case {
    int path_length;
    int tail_length;
};

void run_window(orbit_path& path, int passes)
{
    for (int i = 0; i < passes; ++i) {
        path.advance_window();
        ASSERT_LE(path.first + path.shown, 2 * path.path_length);
        ASSERT_GE(path.colour_first, 0);
        ASSERT_EQ(path.colour_first + path.shown, path.tail_length);
    }
}

}  // namespace

TEST(orbit_path, window_grows_then_slides_for_n_12)
{
    seed_random_engine(5);
    orbit_path path(colour);
    // Pin the counters as for n = 12: 108 forward positions, strip of 108.
    path.path_length = 108;
    path.tail_length = 108;
    path.vertices.resize(216);
    path.colours.resize(108);
    path.shown = 3;
    path.colour_first = 105;
    path.first = 0;
    run_window(path, 35);  // growth takes 35 passes
    EXPECT_EQ(path.shown, 108);
    EXPECT_EQ(path.colour_first, 0);
    EXPECT_EQ(path.first, 0);
    path.advance_window();
    EXPECT_EQ(path.first, 3);
    int period = 1;
    while (path.first != 0) {
        path.advance_window();
        ++period;
        ASSERT_LE(path.first + path.shown, 213);  // the last three vertices are never drawn
    }
    EXPECT_EQ(period, 36);
}

TEST(orbit_path, first_resize_maps_the_rectangle_and_later_ones_scale)
{
    seed_random_engine(11);
    orbit_path path(colour);
    path.vertices[0] = {-2.1f, -1.2f};
    path.vertices[1] = {0.8f, 1.2f};
    path.resize(1024, 768);
    EXPECT_NEAR(path.vertices[0].x, 0.0f, 1e-4f);
    EXPECT_NEAR(path.vertices[0].y, 0.0f, 1e-4f);
    EXPECT_NEAR(path.vertices[1].x, 1024.0f, 1e-3f);
    EXPECT_NEAR(path.vertices[1].y, 768.0f, 1e-3f);
    const vertex2f third = path.vertices[2];
    path.resize(512, 384);
    EXPECT_EQ(path.vertices[2].x, third.x * 0.5f);
    EXPECT_EQ(path.vertices[2].y, third.y * 0.5f);
}
