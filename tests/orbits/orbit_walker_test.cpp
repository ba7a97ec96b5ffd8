#include <gtest/gtest.h>

#include <cmath>

#include "next_iterate.h"
#include "orbits/orbit_walker.h"

namespace {

// The saver's rectangle as the grid rounds it.
grid_bounds region()
{
    return {static_cast<float>(saver_rectangle.re_min), static_cast<float>(saver_rectangle.im_min),
            static_cast<float>(saver_rectangle.re_max), static_cast<float>(saver_rectangle.im_max)};
}

constexpr colour_rgba colour{200, 100, 50, 0};

int whole_steps_lived(float re, float im, int limit)
{
    orbit_walker walker(region(), colour, re, im);
    walker.resize(800, 600);
    for (int pass = 1; pass <= limit * 30; ++pass)
        if (!walker.update())
            return walker.point.steps;
    return -1;
}

}  // namespace

TEST(orbit_walker, colour_tables)
{
    const orbit_walker walker(region(), colour, 0.0f, 0.0f);
    ASSERT_EQ(walker.trail_colours.size(), 60u);
    ASSERT_EQ(walker.pulse_colours.size(), 60u);
    const int fade[] = {255, 246, 238, 230};
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(walker.trail_colours[static_cast<std::size_t>(k)].a, fade[k]);
    EXPECT_EQ(walker.trail_colours[59].a, 35);
    // 255 (0.3 sin(2 pi k / 60) + 0.6), truncated: the peak, the trough and
    // points on the slopes, where a shift by one k changes the byte.
    const int pulse[][2] = {{0, 153}, {7, 204}, {15, 229}, {22, 209}, {37, 101}, {45, 76}, {52, 96}, {59, 145}};
    for (const auto& [k, alpha] : pulse)
        EXPECT_EQ(walker.pulse_colours[static_cast<std::size_t>(k)].a, alpha) << "k = " << k;
    for (const auto& c : walker.trail_colours) {
        EXPECT_EQ(c.r, 200);
        EXPECT_EQ(c.g, 100);
        EXPECT_EQ(c.b, 50);
    }
}

TEST(orbit_walker, trail_after_first_resize_and_update)
{
    orbit_walker walker(region(), colour, -0.5f, 0.3f);
    walker.resize(800, 600);
    ASSERT_EQ(walker.trail.size(), 1u);
    const vertex2f at_c = walker.pixel_position(complex_f(-0.5f, 0.3f));
    EXPECT_EQ(walker.trail[0].x, at_c.x);
    EXPECT_EQ(walker.trail[0].y, at_c.y);
    EXPECT_NEAR(at_c.x, 800 * 1.6 / 2.9, 1e-3);
    EXPECT_NEAR(at_c.y, 600 * 1.5 / 2.4, 1e-3);

    EXPECT_TRUE(walker.update());
    ASSERT_EQ(walker.trail.size(), 3u);
    iterated_point arc{};
    arc.init_at(complex_f(-0.5f, 0.3f));
    arc.interpolate(static_cast<float>(2 / 60.0));
    EXPECT_EQ(walker.trail[0].x, walker.pixel_position(arc.drawn).x);
    arc.interpolate(static_cast<float>(1 / 60.0));
    EXPECT_EQ(walker.trail[1].y, walker.pixel_position(arc.drawn).y);
    EXPECT_EQ(walker.trail[2].x, at_c.x);
    EXPECT_EQ(walker.ticks, 2);
}

TEST(orbit_walker, trail_grows_to_sixty_and_whole_step_lands_on_the_iterate)
{
    // Off the diagonal, where re^2 - im^2 would hide a swapped difference.
    const complex_f c(-0.3f, 0.2f);
    orbit_walker walker(region(), colour, c.real(), c.imag());
    walker.resize(800, 600);
    for (int pass = 1; pass <= 29; ++pass)
        walker.update();
    EXPECT_EQ(walker.trail.size(), 59u);
    EXPECT_EQ(walker.point.steps, 0);
    walker.update();
    EXPECT_EQ(walker.trail.size(), 60u);
    EXPECT_EQ(walker.point.steps, 1);
    EXPECT_EQ(walker.point.z, next_iterate(c, c));
    EXPECT_EQ(walker.trail[0].x, walker.pixel_position(walker.point.z).x);
    EXPECT_EQ(walker.trail[0].y, walker.pixel_position(walker.point.z).y);
    for (int pass = 0; pass < 100; ++pass)
        walker.update();
    EXPECT_EQ(walker.trail.size(), 60u);
}

TEST(orbit_walker, dies_when_its_orbit_escapes)
{
    // c = 0.5: 0.5, 0.75, 1.06, 1.63, 3.15, 10.4 -> death at the fifth whole step.
    EXPECT_EQ(whole_steps_lived(0.5f, 0.0f, 20), 5);
    // Inside the main cardioid: lives on.
    EXPECT_EQ(whole_steps_lived(-0.2f, 0.2f, 40), -1);
}

TEST(orbit_walker, modulus_of_exactly_five_kills)
{
    orbit_walker walker(region(), colour, 0.0f, 0.0f);
    walker.resize(800, 600);
    walker.point.z = complex_f(3.0f, 4.0f);
    walker.point.next = walker.point.z;
    walker.point.c = complex_f(0.0f, 0.0f);
    EXPECT_FALSE(walker.update());
}

TEST(orbit_walker, later_resize_scales_the_trail)
{
    orbit_walker walker(region(), colour, -0.5f, 0.3f);
    walker.resize(800, 600);
    for (int pass = 0; pass < 10; ++pass)
        walker.update();
    const std::vector<vertex2f> before = walker.trail;
    walker.resize(400, 300);
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(walker.trail[i].x, before[i].x * 0.5f);
        EXPECT_EQ(walker.trail[i].y, before[i].y * 0.5f);
    }
}

TEST(orbit_walker, before_the_first_resize_positions_map_to_the_origin)
{
    orbit_walker walker(region(), colour, -0.5f, 0.3f);
    walker.update();
    for (const auto& v : walker.trail) {
        EXPECT_EQ(v.x, 0.0f);
        EXPECT_EQ(v.y, 0.0f);
    }
}
