// The scene's construction, its step and the frame's projection and camera.
#include <chrono>
#include <cmath>
#include <thread>

#include "gl_fixture.h"

namespace {

std::unique_ptr<ball_camera> make_scene(std::uint32_t seed, stepping mode = stepping::manual)
{
    seed_random_engine(seed);
    return std::make_unique<ball_camera>(mode);
}

}  // namespace

TEST(scene, construction_draws_random_numbers_in_a_fixed_order)
{
    const auto scene = make_scene(42);
    EXPECT_EQ(scene->walkers.size(), 128u);
    EXPECT_EQ(scene->walker_cursor, scene->walkers.begin());
    EXPECT_EQ(scene->step_count, 0);
    EXPECT_FALSE(scene->worker_started);
    EXPECT_EQ(scene->pitch, -90.0f);
    EXPECT_EQ(scene->yaw, 90.0f);
    EXPECT_EQ(scene->distance, 0.09);

    // Replay: five draws per walker (value, saturation, hue, im, re) ...
    seed_random_engine(42);
    auto walker = scene->walkers.begin();
    for (int i = 0; i < 128; ++i, ++walker) {
        const double v = uniform_generator();
        const double s = uniform_generator();
        const double h = uniform_generator();
        std::uint8_t rgb[3];
        hsv_to_rgb(h, 0.5 + 0.5 * s, 0.5 + 0.5 * v, rgb);
        const float im = static_cast<float>(2.4 * uniform_generator() - 1.2);
        const float re = static_cast<float>(2.9000000000000004 * uniform_generator() - 2.1);
        ASSERT_EQ((*walker)->point.start, complex_f(re, im)) << "walker " << i;
        ASSERT_EQ((*walker)->trail_colours[0].r, rgb[0]);
        ASSERT_EQ((*walker)->trail_colours[0].g, rgb[1]);
        ASSERT_EQ((*walker)->pulse_colours[0].b, rgb[2]);
    }
    // ... then three per path attempt before the path's own draws.
    for (int i = 0; i < 3; ++i)
        uniform_generator();
    const orbit_path first(colour_rgba{0, 0, 0, 255});
    EXPECT_EQ(scene->paths.front()->start, first.start);
}

TEST(scene, accepted_paths_are_at_least_half_apart_and_opaque)
{
    for (const std::uint32_t seed : {1u, 2u, 3u}) {
        const auto scene = make_scene(seed);
        ASSERT_GE(scene->paths.size(), 1u);
        ASSERT_LE(scene->paths.size(), 50u);
        for (std::size_t i = 0; i < scene->paths.size(); ++i)
            for (std::size_t j = i + 1; j < scene->paths.size(); ++j)
                EXPECT_GE(std::abs(scene->paths[i]->start - scene->paths[j]->start), 0.5f);
    }
}

TEST(scene, step_phases_prepare_columns_then_make_the_whole_pass)
{
    const auto scene = make_scene(7);
    reshape(gl_environment::width, gl_environment::height, *scene);
    scene->texture.pixels_changed = false;
    scene->step();
    EXPECT_EQ(scene->plane.prepare_cursor, 24);  // 1/29 of the columns
    for (int phase = 2; phase <= 29; ++phase)
        scene->step();
    EXPECT_EQ(scene->plane.prepare_cursor, 680);
    EXPECT_EQ(scene->plane.pass_count, 0);
    EXPECT_FALSE(scene->texture.pixels_changed);
    scene->step();
    EXPECT_EQ(scene->plane.pass_count, 1);
    EXPECT_EQ(scene->plane.prepare_cursor, 0);
    EXPECT_TRUE(scene->texture.pixels_changed);
    EXPECT_EQ(scene->walker_cursor, scene->walkers.begin());
    for (const auto& w : scene->walkers)
        EXPECT_EQ(w->point.steps, 1);
}

TEST(scene, dead_walker_under_the_cursor_moves_it_on)
{
    const auto scene = make_scene(8);
    reshape(gl_environment::width, gl_environment::height, *scene);
    // Keep every walker alive and still for this test.
    for (auto& w : scene->walkers) {
        w->point.init_at(complex_f(-0.1f, 0.1f));
    }
    scene->step();  // phase 1: look-ahead for walkers 0..3, cursor on walker 4
    auto cursor = scene->walkers.begin();
    std::advance(cursor, 4);
    ASSERT_EQ(scene->walker_cursor, cursor);
    orbit_walker* doomed = cursor->get();
    const orbit_walker* after = std::next(cursor)->get();
    doomed->point.z = complex_f(10.0f, 0.0f);
    doomed->point.next = doomed->point.z;
    scene->step();
    EXPECT_EQ(scene->walkers.size(), 127u);
    // The look-ahead went on from the walker after the dead one: no skip.
    EXPECT_NE(after->point.next, after->point.z);
    auto expected = scene->walkers.begin();
    std::advance(expected, 8);
    EXPECT_EQ(scene->walker_cursor, expected);
}

TEST(scene, look_ahead_stops_at_the_end_of_a_short_list)
{
    const auto scene = make_scene(9);
    reshape(gl_environment::width, gl_environment::height, *scene);
    scene->walkers.resize(6);
    scene->walker_cursor = scene->walkers.begin();
    for (auto& w : scene->walkers)
        w->point.init_at(complex_f(-0.1f, 0.1f));
    scene->step();
    scene->step();
    EXPECT_EQ(scene->walker_cursor, scene->walkers.end());
    scene->step();
    EXPECT_EQ(scene->walker_cursor, scene->walkers.end());
    // With every walker gone the step still runs and the grid goes on.
    scene->walkers.clear();
    scene->walker_cursor = scene->walkers.end();
    for (int i = 0; i < 30; ++i)
        scene->step();
    EXPECT_EQ(scene->plane.pass_count, 1);
}

TEST(scene, pacing_sleeps)
{
    EXPECT_EQ(pacing_sleep_ms(2000), 48);
    EXPECT_EQ(pacing_sleep_ms(10000), 40);
    EXPECT_EQ(pacing_sleep_ms(20000), 80);
    EXPECT_EQ(pacing_sleep_ms(0), 50);
    EXPECT_EQ(pacing_sleep_ms(46000), 184);
    // A clock that jumps back gives a longer sleep, never a negative one.
    EXPECT_EQ(pacing_sleep_ms(-3000), 53);
    EXPECT_GT(pacing_sleep_ms(INT32_MAX), 0);
}

TEST(scene, walkers_are_sized_before_the_worker_steps_them)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        const auto scene = make_scene(10 + attempt, stepping::worker_thread);
        reshape(gl_environment::width, gl_environment::height, *scene);
        std::this_thread::sleep_for(std::chrono::milliseconds(120));
        scene->stop_worker();
        ASSERT_GE(scene->step_count, 1);
        for (const auto& w : scene->walkers) {
            EXPECT_EQ(w->width, gl_environment::width);
            for (const auto& v : w->trail)
                ASSERT_FALSE(v.x == 0.0f && v.y == 0.0f) << "a trail line from the window's corner";
        }
    }
}

TEST(scene, second_resize_rescales_without_a_second_worker)
{
    const auto scene = make_scene(12);
    reshape(800, 600, *scene);
    EXPECT_TRUE(scene->worker_started);
    const vertex2f before = scene->paths[0]->vertices[5];
    scene->resize(400, 300);
    EXPECT_EQ(scene->paths[0]->vertices[5].x, before.x * 0.5f);
    EXPECT_EQ(scene->texture.width, 400);
    EXPECT_FLOAT_EQ(scene->z, 805.5f);  // -150 + 3.5 * 300 * 0.91
}

TEST(scene, empty_window_then_a_real_size_places_the_orbits_as_a_first_resize)
{
    const auto direct = make_scene(16);
    direct->resize(800, 600);
    const auto delayed = make_scene(16);
    delayed->resize(0, 0);
    delayed->resize(800, 0);
    delayed->resize(800, 600);
    ASSERT_EQ(direct->paths.size(), delayed->paths.size());
    for (std::size_t i = 0; i < direct->paths.size(); ++i)
        for (std::size_t v = 0; v < direct->paths[i]->vertices.size(); ++v) {
            ASSERT_EQ(delayed->paths[i]->vertices[v].x, direct->paths[i]->vertices[v].x);
            ASSERT_EQ(delayed->paths[i]->vertices[v].y, direct->paths[i]->vertices[v].y);
        }
    EXPECT_EQ(delayed->walkers.front()->trail[0].x, direct->walkers.front()->trail[0].x);
    EXPECT_EQ(delayed->walkers.front()->width, 800);
}

TEST(projection, field_of_view_and_aspect)
{
    // atan(h / (2 (3h - (0.4 sqrt(w^2 + 2h^2) - 0.5h)))) * 360 / 3.14159,
    // worked out to 40 digits (bc -l).
    const struct {
        int width;
        int height;
        double fovy;
    } windows[] = {
        {1024, 768, 20.813065580387790070},
        {1920, 1080, 21.842155080313910944},
        {152, 112, 20.862263243941491908},
    };
    for (const auto& window : windows)
        EXPECT_NEAR(window_projection(window.width, window.height).fovy, window.fovy, window.fovy * 1e-12)
            << window.width << " x " << window.height;
    EXPECT_DOUBLE_EQ(window_projection(1024, 768).aspect, 4.0 / 3.0);
    EXPECT_DOUBLE_EQ(window_projection(1920, 1080).aspect, 16.0 / 9.0);
    EXPECT_EQ(window_projection(152, 112).aspect, 1.0 / static_cast<double>(112.0f / 152.0f));
}

TEST(projection, zero_sized_windows_stay_finite)
{
    for (const auto& size : {std::array<int, 2>{0, 0}, {0, 600}, {800, 0}, {-5, 10}}) {
        const perspective_projection p = window_projection(size[0], size[1]);
        EXPECT_TRUE(std::isfinite(p.fovy) && p.fovy > 0.0);
        EXPECT_TRUE(std::isfinite(p.aspect) && p.aspect > 0.0);

        const auto scene = make_scene(13);
        reshape(size[0] > 0 ? size[0] : 0, size[1] > 0 ? size[1] : 0, *scene);
        GLdouble matrix[16];
        glGetDoublev(GL_PROJECTION_MATRIX, matrix);
        for (const double m : matrix)
            EXPECT_TRUE(std::isfinite(m));
        EXPECT_TRUE(std::isfinite(scene->x) && std::isfinite(scene->y) && std::isfinite(scene->z));
        draw_frame(*scene);
        glGetDoublev(GL_MODELVIEW_MATRIX, matrix);
        for (const double m : matrix)
            EXPECT_TRUE(std::isfinite(m));
    }
    glViewport(0, 0, gl_environment::width, gl_environment::height);
}

TEST(camera, eye_placement)
{
    const auto scene = make_scene(14);
    scene->update_view(1024, 768);
    EXPECT_EQ(scene->x, 512.0f);
    EXPECT_EQ(scene->y, 384.0f);
    EXPECT_EQ(scene->z, 2062.08f);
    scene->update_view(800, 600);
    EXPECT_EQ(scene->x, 400.0f);
    EXPECT_EQ(scene->y, 300.0f);
    EXPECT_EQ(scene->z, 1611.0f);
}

TEST(camera, near_zero_cosines_give_a_usable_up_vector)
{
    const auto scene = make_scene(15);
    scene->update_view(1024, 768);
    const look_at view = camera_look_at(*scene);
    EXPECT_GT(view.up[1], 1e-17);  // about 6.1e-17, not 0
    EXPECT_LT(view.up[1], 1e-16);
    EXPECT_NEAR(view.centre[2] - view.eye[2], -1.0, 1e-12);

    scene->apply();
    GLdouble m[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, m);
    // +x stays right and +y up; the plane's centre lies straight ahead.
    EXPECT_NEAR(m[0], 1.0, 1e-9);
    EXPECT_NEAR(m[5], 1.0, 1e-9);
    EXPECT_NEAR(m[10], 1.0, 1e-9);
    const double cx = m[0] * 512 + m[4] * 384 + m[12];
    const double cy = m[1] * 512 + m[5] * 384 + m[13];
    const double cz = m[2] * 512 + m[6] * 384 + m[14];
    EXPECT_NEAR(cx, 0.0, 1e-3);
    EXPECT_NEAR(cy, 0.0, 1e-3);
    EXPECT_NEAR(cz, -2062.08, 1e-2);
}

TEST(frame, extensions_are_found_only_as_whole_names)
{
    const char* const list = "GL_EXT_bgra GL_WIN_swap_hint_x GL_WIN_swap_hint GL_ARB_multitexture";
    const struct {
        const char* list;
        const char* name;
        bool listed;
    } cases[] = {
        {list, "GL_WIN_swap_hint", true},     // after a longer name that starts the same
        {list, "GL_EXT_bgra", true},          // first
        {list, "GL_ARB_multitexture", true},  // last
        {list, "GL_WIN_swap", false},         // a prefix of listed names
        {list, "EXT_bgra", false},            // a suffix of one
        {"", "GL_EXT_bgra", false},
        {nullptr, "GL_EXT_bgra", false},  // no context, no list
        {list, "", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(extension_listed(c.list, c.name), c.listed) << (c.list ? c.list : "(null)") << " / " << c.name;
}
