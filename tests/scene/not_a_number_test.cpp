// The places where values that are not numbers, or infinities, may arise
// (the arc ratio at z = 1, the hue at a zero displacement, a window of zero
// size) end in a defined, harmless picture.
#include <climits>
#include <cmath>

#include "gl_fixture.h"

namespace {

constexpr int W = gl_environment::width;
constexpr int H = gl_environment::height;

// c * c + c is exactly 1 in single precision: the orbit of this c reaches
// z = 1, where log z = 0 and the arc ratio has no finite value.
const float c_reaching_one = 0x1.3c6ef4p-1f;  // about 0.618034

bool finite(vertex2f v)
{
    return std::isfinite(v.x) && std::isfinite(v.y);
}

bool finite(complex_f w)
{
    return std::isfinite(w.real()) && std::isfinite(w.imag());
}

std::unique_ptr<ball_camera> empty_scene(std::uint32_t seed, int width, int height)
{
    seed_random_engine(seed);
    auto scene = std::make_unique<ball_camera>(stepping::manual);
    reshape(width, height, *scene);
    scene->walkers.clear();
    scene->walker_cursor = scene->walkers.end();
    scene->paths.clear();
    return scene;
}

void expect_no_gl_error()
{
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace

TEST(not_a_number, ratio_at_z_equal_to_one_leaves_the_orbit_exact_and_the_walker_alive)
{
    const plane_region region(saver_rectangle);
    orbit_walker walker(region.bounds(), colour_rgba{255, 255, 255, 255}, c_reaching_one, 0.0f);
    walker.resize(W, H);
    // 30 passes: the whole step at tick 60 lands on z = 1 exactly.
    for (int pass = 1; pass <= 30; ++pass)
        ASSERT_TRUE(walker.update());
    ASSERT_EQ(walker.point.z, complex_f(1.0f, 0.0f));
    EXPECT_FALSE(finite(walker.point.ratio));
    EXPECT_TRUE(finite(walker.trail[0]));

    // The arc from 1 has no finite positions, but the orbit's whole steps
    // do not use the ratio: 1 + c at tick 120, alive while below 5.
    ASSERT_TRUE(walker.update());
    EXPECT_FALSE(finite(walker.trail[0]));
    EXPECT_FALSE(finite(walker.trail[1]));
    for (int pass = 32; pass <= 60; ++pass)
        ASSERT_TRUE(walker.update()) << "pass " << pass;
    EXPECT_EQ(walker.point.z, complex_f(1.0f + c_reaching_one, 0.0f));
    EXPECT_TRUE(finite(walker.point.ratio));
    ASSERT_TRUE(walker.update());
    EXPECT_TRUE(finite(walker.trail[0]));
    EXPECT_TRUE(finite(walker.trail[1]));

    // (1 + c)^2 + c is about 3.24, then about 11.1: death at tick 240.
    for (int pass = 62; pass <= 119; ++pass)
        ASSERT_TRUE(walker.update()) << "pass " << pass;
    EXPECT_FALSE(walker.update());
}

TEST(not_a_number, trail_positions_that_are_not_numbers_draw_nothing_else)
{
    auto scene = empty_scene(31, W, H);
    scene->walkers.push_back(
        std::make_unique<orbit_walker>(scene->plane.bounds(), colour_rgba{255, 255, 255, 255}, c_reaching_one, 0.0f));
    orbit_walker& walker = *scene->walkers.back();
    walker.resize(W, H);
    for (int pass = 1; pass <= 35; ++pass)
        walker.update();
    // The newest ten positions lie on the arc from z = 1.
    std::size_t not_finite = 0;
    while (not_finite < walker.trail.size() && !finite(walker.trail[not_finite]))
        ++not_finite;
    ASSERT_EQ(not_finite, 10u);
    ASSERT_EQ(walker.trail.size(), 60u);

    draw_frame(*scene);
    expect_no_gl_error();
    const picture with_nan;

    // The same walker without the positions that are not numbers, each
    // remaining vertex with the colour it had.
    walker.trail.erase(walker.trail.begin(), walker.trail.begin() + static_cast<std::ptrdiff_t>(not_finite));
    walker.trail_colours.erase(walker.trail_colours.begin(),
                               walker.trail_colours.begin() + static_cast<std::ptrdiff_t>(not_finite));
    draw_frame(*scene);
    const picture without;

    // The disc at c and the finite part of the trail are there ...
    const auto disc =
        window_pixel(*scene, walker.pixel_position(walker.point.start).x, walker.pixel_position(walker.point.start).y);
    EXPECT_TRUE(with_nan.lit(disc[0], disc[1]));
    // ... and nothing else: the segments that touch a position that is not
    // a number leave no pixel behind.
    int different = 0;
    for (std::size_t i = 0; i < with_nan.rgb.size(); ++i)
        different += with_nan.rgb[i] != without.rgb[i];
    EXPECT_EQ(different, 0);
}

TEST(not_a_number, zero_displacement_gives_an_opaque_black_texel_whatever_the_hue)
{
    auto scene = empty_scene(32, W, H);
    for (int step = 0; step < ball_camera::cycle_steps; ++step)
        scene->step();
    ASSERT_EQ(scene->plane.pass_count, 1);

    // A block inside the set, around c = -0.82: its points stay live. Put
    // their iterate back on c, so that z - c = 0 and the hue is 0 / 0.
    constexpr int first_column = 300;
    constexpr int first_row = 235;
    constexpr int block = 40;
    for (int i = first_column; i < first_column + block; ++i)
        for (int j = first_row; j < first_row + block; ++j)
            scene->plane.set_iterate(i, j, scene->plane.point(i, j).c);
    scene->texture.recolour();

    for (int i = first_column; i < first_column + block; ++i)
        for (int j = first_row; j < first_row + block; ++j) {
            const int k = scene->plane.rows - 1 - j;
            const std::uint8_t* texel = &scene->texture.pixels[(static_cast<std::size_t>(k) * 680 + i) * 4];
            ASSERT_EQ((std::array<int, 4>{texel[0], texel[1], texel[2], texel[3]}), (std::array<int, 4>{0, 0, 0, 255}))
                << "column " << i << ", row " << j;
        }

    draw_frame(*scene);
    expect_no_gl_error();
    const picture shot;
    auto at_texel = [&](int i, int j) {
        const int k = scene->plane.rows - 1 - j;
        return window_pixel(*scene, (i + 0.5) / 680.0 * W, (k + 0.5) / 510.0 * H);
    };
    const auto centre = at_texel(first_column + block / 2, first_row + block / 2);
    for (int dy = -10; dy <= 10; ++dy)
        for (int dx = -10; dx <= 10; ++dx)
            ASSERT_FALSE(shot.lit(centre[0] + dx, centre[1] + dy, 2)) << dx << ", " << dy;
    // Beside the block the live points show their colours.
    const auto beside = at_texel(first_column - 10, first_row + block / 2);
    EXPECT_TRUE(shot.lit(beside[0], beside[1]));
}

TEST(not_a_number, grid_point_at_z_equal_to_one_takes_its_whole_steps_exactly)
{
    plane_region region(saver_rectangle);
    // Column 300, row 255 is about -0.82 + 0i, inside the set.
    const complex_f c = region.point(300, 255).c;
    region.set_iterate(300, 255, complex_f(1.0f, 0.0f));
    for (int r = 1; r <= 29; ++r)
        region.prepare_pass(r / 29.0);
    region.advance_pass();
    const iterated_point after = region.point(300, 255);
    EXPECT_EQ(after.z, complex_f(1.0f, 0.0f) + c);
    EXPECT_EQ(after.steps, 1);
    EXPECT_TRUE(finite(after.z));
}

TEST(not_a_number, zero_sized_windows_simulate_and_draw_nothing)
{
    for (const auto& size : {std::array<int, 2>{0, 0}, {0, H}, {W, 0}}) {
        SCOPED_TRACE(std::to_string(size[0]) + " x " + std::to_string(size[1]));
        seed_random_engine(33);
        auto scene = std::make_unique<ball_camera>(stepping::manual);
        reshape(size[0], size[1], *scene);
        EXPECT_TRUE(std::isfinite(scene->x) && std::isfinite(scene->y) && std::isfinite(scene->z));
        // A whole cycle, a frame after every step.
        for (int step = 0; step < ball_camera::cycle_steps; ++step) {
            scene->step();
            draw_frame(*scene);
            expect_no_gl_error();
        }
        for (const auto& walker : scene->walkers)
            for (const vertex2f& v : walker->trail)
                ASSERT_TRUE(finite(v) || !finite(walker->point.ratio));
        for (const auto& path : scene->paths)
            for (const vertex2f& v : path->vertices)
                ASSERT_TRUE(finite(v));
        GLdouble matrix[16];
        glGetDoublev(GL_MODELVIEW_MATRIX, matrix);
        for (const double m : matrix)
            EXPECT_TRUE(std::isfinite(m));
        // Lines 2 pixels wide may reach a pixel past a viewport edge, as GL
        // allows; beyond that the picture stays black.
        const picture shot;
        int lit_outside = 0;
        for (int row = 0; row < H; ++row)
            for (int column = 0; column < W; ++column) {
                const int gl_y = H - 1 - row;
                const bool near_viewport = column < size[0] + 2 && gl_y < size[1] + 2;
                if (!near_viewport)
                    lit_outside += shot.lit(column, row, 0);
            }
        EXPECT_EQ(lit_outside, 0);
    }
    glViewport(0, 0, W, H);
}

TEST(not_a_number, projection_of_any_window_size_is_finite)
{
    // Sides whose squares overflow 32 and 64 bits.
    for (const auto& size : {std::array<int, 2>{INT_MAX, INT_MAX}, {INT_MAX, 1}, {1, INT_MAX}, {46341, 46341}}) {
        const perspective_projection p = window_projection(size[0], size[1]);
        EXPECT_TRUE(std::isfinite(p.fovy)) << size[0] << " x " << size[1];
        EXPECT_TRUE(std::isfinite(p.aspect) && p.aspect > 0.0) << size[0] << " x " << size[1];
    }
    EXPECT_NEAR(window_projection(INT_MAX, INT_MAX).fovy, window_projection(46341, 46341).fovy, 1e-6);
}
