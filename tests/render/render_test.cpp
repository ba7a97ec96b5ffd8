// Real frames drawn by the scene code in a headless context, read back.
#include <algorithm>
#include <cmath>

#include "gl_fixture.h"
#include "render/progress_meter.h"

namespace {

constexpr int W = gl_environment::width;
constexpr int H = gl_environment::height;

std::unique_ptr<ball_camera> sized_scene(std::uint32_t seed)
{
    seed_random_engine(seed);
    auto scene = std::make_unique<ball_camera>(stepping::manual);
    reshape(W, H, *scene);
    return scene;
}

// Scene position of the centre of texel (column i, image row k).
std::array<double, 2> texel_centre(int i, int k)
{
    return {(i + 0.5) / 680.0 * W, (k + 0.5) / 510.0 * H};
}

void add_walker(ball_camera& scene, colour_rgba colour, complex_f c, int ticks)
{
    auto walker = std::make_unique<orbit_walker>(scene.plane.bounds(), colour, c.real(), c.imag());
    walker->resize(W, H);
    walker->ticks = ticks;
    scene.walkers.push_back(std::move(walker));
}

void make_plane_transparent(ball_camera& scene)
{
    for (std::size_t i = 3; i < scene.texture.pixels.size(); i += 4)
        scene.texture.pixels[i] = 0;
    scene.texture.pixels_changed = true;
}

int lit_count(const picture& shot, int column, int row, int half)
{
    int count = 0;
    for (int y = row - half; y <= row + half; ++y)
        for (int x = column - half; x <= column + half; ++x)
            count += shot.lit(x, y);
    return count;
}

// The bytes of a window in the pbuffer's lower left corner: wide lines
// near its edges may reach past the viewport, where the window has none.
std::vector<std::uint8_t> window_bytes(int width, int height)
{
    const picture shot;
    std::vector<std::uint8_t> bytes;
    for (int row = H - height; row < H; ++row) {
        const auto from = shot.rgb.begin() + static_cast<std::ptrdiff_t>(row) * W * 3;
        bytes.insert(bytes.end(), from, from + width * 3);
    }
    return bytes;
}

}  // namespace

TEST(render, fresh_plane_is_opaque_black_over_the_whole_window)
{
    auto scene = sized_scene(20);
    scene->walkers.clear();
    scene->paths.clear();
    glClearColor(1.0f, 0.0f, 1.0f, 1.0f);  // any gap would show magenta
    draw_frame(*scene);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    const picture shot;
    int not_black = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            not_black += shot.lit(x, y, 0);
    EXPECT_EQ(not_black, 0);
}

TEST(render, full_fresh_frame_shows_paths_and_discs_over_black)
{
    auto scene = sized_scene(21);
    draw_frame(*scene);
    const picture shot;
    int lit = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            lit += shot.lit(x, y);
    EXPECT_GT(lit, 128 * 4);  // at least the discs
    EXPECT_LT(lit, W * H / 10);
}

TEST(render, escaped_points_show_black_and_live_points_their_colour)
{
    auto scene = sized_scene(22);
    for (int i = 0; i < 30 * 12; ++i)
        scene->step();
    ASSERT_EQ(scene->plane.pass_count, 12);
    scene->walkers.clear();
    scene->paths.clear();
    draw_frame(*scene);
    const picture shot;
    const auto& region = scene->plane;
    const auto& texels = scene->texture.upload_pixels;  // the image drawn
    int escaped_checked = 0;
    int live_checked = 0;
    for (int k = 3; k < 507; k += 9)
        for (int i = 3; i < 677; i += 9) {
            // Only where the 3 x 3 texels around agree, as linear filtering
            // mixes neighbours.
            bool all_live = true;
            bool all_escaped = true;
            int low[3] = {255, 255, 255};
            int high[3] = {0, 0, 0};
            for (int dk = -1; dk <= 1; ++dk)
                for (int di = -1; di <= 1; ++di) {
                    const int j = 509 - (k + dk);
                    const bool live = region.point(i + di, j).steps == region.pass_count;
                    all_live &= live;
                    all_escaped &= !live;
                    const std::size_t t =
                        (static_cast<std::size_t>(k + dk) * 680 + static_cast<std::size_t>(i + di)) * 4;
                    for (int ch = 0; ch < 3; ++ch) {
                        low[ch] = std::min<int>(low[ch], texels[t + static_cast<std::size_t>(ch)]);
                        high[ch] = std::max<int>(high[ch], texels[t + static_cast<std::size_t>(ch)]);
                    }
                }
            const auto centre = texel_centre(i, k);
            const auto at = window_pixel(*scene, centre[0], centre[1]);
            if (at[0] < 0 || at[0] >= W || at[1] < 0 || at[1] >= H)
                continue;
            const pixel p = shot.at(at[0], at[1]);
            if (all_escaped) {
                ++escaped_checked;
                EXPECT_EQ(p.r + p.g + p.b, 0) << "escaped texel " << i << "," << k;
            } else if (all_live && high[0] + high[1] + high[2] > 60) {
                ++live_checked;
                const int got[3] = {p.r, p.g, p.b};
                for (int ch = 0; ch < 3; ++ch) {
                    EXPECT_GE(got[ch], low[ch] - 3) << "live texel " << i << "," << k;
                    EXPECT_LE(got[ch], high[ch] + 3) << "live texel " << i << "," << k;
                }
            }
        }
    EXPECT_GT(escaped_checked, 1500);
    EXPECT_GT(live_checked, 100);
}

TEST(render, picture_is_mirrored_about_the_real_axis_against_the_walkers)
{
    auto scene = sized_scene(23);
    scene->walkers.clear();
    scene->paths.clear();
    make_plane_transparent(*scene);
    // Paint the image's first 20 rows (the region's top, im near +1.2) red;
    // the view shows 98.6 % of the plane's height, so row 0 alone is cut off.
    for (std::size_t t = 0; t < 20u * 680u * 4u; t += 4) {
        scene->texture.pixels[t] = 255;
        scene->texture.pixels[t + 3] = 255;
    }
    // A walker near the region's top edge.
    add_walker(*scene, colour_rgba{0, 255, 0, 255}, complex_f(-0.65f, 1.15f), 14);
    draw_frame(*scene);
    const picture shot;
    int red_top = 0;
    int red_bottom = 0;
    int green_top = 0;
    int green_bottom = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const pixel p = shot.at(x, y);
            if (p.r > 100 && p.g < 30)
                (y < H / 2 ? red_top : red_bottom)++;
            if (p.g > 100 && p.r < 30)
                (y < H / 2 ? green_top : green_bottom)++;
        }
    EXPECT_EQ(red_top, 0);
    EXPECT_GT(red_bottom, 500);
    EXPECT_GT(green_top, 5);
    EXPECT_EQ(green_bottom, 0);
}

TEST(render, walker_disc_radius_and_alpha_follow_the_pulse)
{
    auto scene = sized_scene(24);
    scene->walkers.clear();
    scene->paths.clear();
    make_plane_transparent(*scene);
    const complex_f c(-0.6f, 0.1f);
    // Ticks on the pulse's slopes, where a tick either way changes the alpha
    // by 5 or more: 7 gives alpha 204 (radius 2.59), 37 alpha 101 (1.79).
    add_walker(*scene, colour_rgba{255, 255, 255, 255}, c, 7);
    const vertex2f at = scene->walkers.back()->pixel_position(c);
    const auto centre = window_pixel(*scene, at.x, at.y);

    draw_frame(*scene);
    const picture large;
    EXPECT_NEAR(large.at(centre[0], centre[1]).g, 204, 2);
    const int large_area = lit_count(large, centre[0], centre[1], 6);

    scene->walkers.back()->ticks = 37;
    draw_frame(*scene);
    const picture small;
    EXPECT_NEAR(small.at(centre[0], centre[1]).g, 101, 2);
    const int small_area = lit_count(small, centre[0], centre[1], 6);

    // About pi r^2 pixels each, scaled by the camera's 0.986.
    EXPECT_GE(large_area, 16);
    EXPECT_LE(large_area, 36);
    EXPECT_GE(small_area, 4);
    EXPECT_LE(small_area, 14);
    EXPECT_FALSE(large.lit(centre[0] + 5, centre[1]));
    // The same display list serves every drawing.
    EXPECT_EQ(marker_list(), marker_list());
    EXPECT_TRUE(glIsList(marker_list()));
}

// velmora on Wayland draws a scene per output, each in a context of its
// own: a scene in a second context draws the first's bytes, discs included.
TEST(render, a_second_context_draws_the_same_frame)
{
    const auto first = sized_scene(21);
    draw_frame(*first);
    const picture in_first;
    // Never destroyed: its display is the first context's too.
    static egl_context second;
    std::string error;
    ASSERT_TRUE(second.create(W, H, error)) << error;
    std::vector<std::uint8_t> bytes;
    {
        const auto again = sized_scene(21);
        draw_frame(*again);
        bytes = second.read_rgb();
    }
    gl_environment::context->make_current();
    EXPECT_TRUE(bytes == in_first.rgb) << "the second context's frame differs";
}

TEST(render, path_strip_grows_by_three_vertices_a_pass)
{
    auto scene = sized_scene(25);
    scene->walkers.clear();
    scene->paths.resize(1);
    make_plane_transparent(*scene);
    orbit_path& path = *scene->paths[0];
    int previous = -1;
    for (int pass = 0; pass < 12; ++pass) {
        ASSERT_EQ(path.shown, 3 + 3 * pass);
        draw_frame(*scene);
        const picture shot;
        int lit = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                lit += shot.lit(x, y);
        EXPECT_GE(lit, previous) << "pass " << pass;
        previous = lit;
        const vertex2f head = path.vertices[static_cast<std::size_t>(path.first + path.shown - 1)];
        const auto at = window_pixel(*scene, head.x, head.y);
        EXPECT_GT(lit_count(shot, at[0], at[1], 1), 0) << "head of the strip at pass " << pass;
        path.advance_window();
    }
    EXPECT_GT(previous, 30);
}

TEST(render, draw_order_is_plane_then_paths_then_walkers)
{
    auto scene = sized_scene(26);
    scene->walkers.clear();
    scene->paths.resize(1);
    make_plane_transparent(*scene);
    const complex_f c(-0.6f, 0.1f);
    add_walker(*scene, colour_rgba{0, 0, 255, 255}, c, 14);
    const vertex2f at = scene->walkers.back()->pixel_position(c);
    // A green line straight through the disc.
    orbit_path& path = *scene->paths[0];
    path.first = 0;
    path.shown = 3;
    path.colour_first = 0;
    path.vertices[0] = {at.x - 20.0f, at.y};
    path.vertices[1] = {at.x, at.y};
    path.vertices[2] = {at.x + 20.0f, at.y};
    for (auto& colour : path.colours)
        colour = {0, 255, 0, 255};
    draw_frame(*scene);
    const picture shot;
    const auto centre = window_pixel(*scene, at.x, at.y);
    const pixel p = shot.at(centre[0], centre[1]);
    // The disc (alpha 229) covers the line: mostly blue, a little green.
    EXPECT_GT(p.b, 200);
    EXPECT_LT(p.g, 60);
    const auto beside = window_pixel(*scene, at.x + 12.0, at.y);
    EXPECT_GT(shot.at(beside[0], beside[1]).g + shot.at(beside[0], beside[1] + 1).g, 150);
}

TEST(render, upload_happens_once_per_recolour)
{
    auto scene = sized_scene(27);
    scene->walkers.clear();
    scene->paths.clear();
    draw_frame(*scene);
    EXPECT_FALSE(scene->texture.pixels_changed);
    // Changing the image without raising the flag changes nothing on screen.
    // Every byte is written: the taken image was swapped out of pixels.
    for (std::size_t t = 0; t < scene->texture.pixels.size(); t += 4) {
        scene->texture.pixels[t] = 0;
        scene->texture.pixels[t + 1] = 200;
        scene->texture.pixels[t + 2] = 0;
        scene->texture.pixels[t + 3] = 255;
    }
    draw_frame(*scene);
    EXPECT_FALSE(picture().lit(W / 2, H / 2));
    scene->texture.pixels_changed = true;
    draw_frame(*scene);
    EXPECT_GT(picture().at(W / 2, H / 2).g, 150);
}

// The plane drawn only in scissor boxes around its visible texels gives the
// bytes of the whole quad, for several scenes and stages of the emergence;
// boxes without the bilinear reach and the neighbouring bands are too tight
// and change some of them, so this comparison would catch a box one band or
// one texel short.
TEST(render, plane_in_scissor_boxes_gives_the_whole_quads_bytes)
{
    struct variant {
        bool scissored;
        int reach;
    };
    const variant variants[] = {{false, 2}, {true, 2}, {true, 0}};
    int too_tight_differs = 0;
    for (const std::uint32_t seed : {7u, 42u}) {
        auto scene = sized_scene(seed);
        for (const int steps : {600, 1500, 2905}) {
            while (scene->step_count < steps)
                scene->step();
            std::vector<std::vector<std::uint8_t>> shots;
            for (const variant& v : variants) {
                scene->texture.scissored = v.scissored;
                scene->texture.box_reach = v.reach;
                draw_frame(*scene);
                shots.push_back(picture().rgb);
            }
            EXPECT_TRUE(shots[0] == shots[1]) << "seed " << seed << ", " << steps << " steps";
            too_tight_differs += shots[0] != shots[2] ? 1 : 0;
        }
    }
    EXPECT_GT(too_tight_differs, 0);
}

// Boxed against whole where the boxes' limits decide: isolated texels on
// the first and last rows of bands, which bilinear filtering bleeds across
// the band's edge; and the first passes, whose outermost rows are still
// live. Also on a wide window, 5127 x 2051 of which the frame shows the
// middle of the bottom or the top: there the quad's edges lie inside the
// window, 0.002 pixels from pixel centres (where the rasteriser's rounding
// and the boxes' may part, as the outer margin allows for), and a texel is
// 3.5 pixels tall, more than the margin. A magenta background shows any
// pixel of the quad a box leaves out.
TEST(render, plane_in_scissor_boxes_keeps_band_edges_and_the_outermost_rows)
{
    struct frame {
        int width;
        int height;
        int x;  // where the window's corner lies from the frame's
        int y;
    };
    const frame frames[] = {{W, H, 0, 0}, {5127, 2051, -2051, 0}, {5127, 2051, -2051, -1283}};
    // Grid rows on both sides of each band edge; 4 columns apart, beyond
    // the reach of each other's boxes, in columns every frame shows.
    std::vector<int> rows;
    for (int edge = plane_texture::box_rows; edge < plane_region::grid_rows; edge += plane_texture::box_rows) {
        rows.push_back(edge - 1);
        rows.push_back(edge);
    }
    glClearColor(1.0f, 0.0f, 1.0f, 1.0f);
    for (const frame& f : frames)
        for (const int picture_kind : {0, 1, 2}) {  // isolated texels; pass 1; pass 2
            auto scene = sized_scene(50);
            while (scene->plane.pass_count < picture_kind)
                scene->step();
            scene->walkers.clear();
            scene->paths.clear();
            reshape(f.width, f.height, *scene);
            glViewport(f.x, f.y, f.width, f.height);
            plane_texture& texture = scene->texture;
            if (picture_kind == 0) {
                std::fill(texture.pixels.begin(), texture.pixels.end(), std::uint8_t{0});
                for (auto& span : texture.spans)
                    span = {plane_region::grid_columns, 0};
                for (std::size_t n = 0; n < rows.size(); ++n) {
                    const int column = 282 + 4 * static_cast<int>(n);
                    const int row = rows[n];
                    const std::size_t k = static_cast<std::size_t>(plane_region::grid_rows - 1 - row);
                    std::fill_n(
                        &texture.pixels[(k * plane_region::grid_columns + static_cast<std::size_t>(column)) * 4], 4,
                        std::uint8_t{255});
                    texel_span& span = texture.spans[static_cast<std::size_t>(row / plane_texture::box_rows)];
                    span = {std::min(span.first, column), std::max(span.end, column + 1)};
                }
                texture.pixels_changed = true;
            }
            std::vector<std::uint8_t> shots[2];
            for (const bool scissored : {false, true}) {
                texture.scissored = scissored;
                draw_frame(*scene);
                shots[scissored ? 1 : 0] = picture().rgb;
            }
            EXPECT_TRUE(shots[0] == shots[1]) << "window " << f.width << "x" << f.height << " at " << f.x << "," << f.y
                                              << ", picture " << picture_kind;
            reshape(W, H, *scene);
        }
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
}

// Frames draw the orbit objects from the copy taken under the lock: drawn
// from it they give the objects' own bytes, once walkers have died (the
// copy's trail offsets skip them) and trails have filled.
TEST(render, orbit_copy_draws_the_objects_own_bytes)
{
    auto scene = sized_scene(42);
    draw_frame(*scene);  // the frame's blending and shading
    for (const int steps : {1, 900}) {
        while (scene->step_count < steps)
            scene->step();
        std::vector<std::uint8_t> shots[2];
        for (const bool from_copy : {false, true}) {
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            glPushMatrix();
            scene->apply();
            if (from_copy) {
                scene->orbits_drawn.capture(scene->paths, scene->walkers);
                scene->orbits_drawn.draw(scene->paths);
            } else {
                for (const auto& path : scene->paths)
                    path->draw();
                for (const auto& walker : scene->walkers)
                    walker->draw();
            }
            glPopMatrix();
            shots[from_copy ? 1 : 0] = picture().rgb;
        }
        EXPECT_TRUE(shots[0] == shots[1]) << steps << " steps";
    }
    EXPECT_LT(scene->walkers.size(), 128u) << "no walker died";
}

// Frames drawn over the frame before, only in the boxes around what
// changed, give the whole frame's bytes: at the first steps, across a whole
// pass (step 30, the plane's upload), later, across the last pass (step
// 2880) and after it, where every pass hands the same image over again and
// frames stay drawn over the last. Each whole frame drawn for the comparison
// is also the next damaged frame's frame before. The windows: one growing in
// height alone (the background's texture must grow with it), one shrunk to
// nothing while the next pass's image comes, then its size again (the
// background copied before must not come back). Boxes without slack must do
// (the saver's slack only widens them); a pixel less must show somewhere,
// with the walkers and with the paths alone (the walkers' boxes, redrawn
// every step, would hide a path's box one pixel short). A scene that ends
// deletes its textures.
TEST(render, frames_drawn_over_the_last_give_the_whole_frames_bytes)
{
    struct window {
        int width;
        int height;
        int steps;  // frames at this size, one step apart
    };
    const window windows[] = {{320, 240, 4}, {320, 700, 4}, {0, 0, 30}, {320, 700, 4}, {W, H, 4}};
    const int firsts[] = {0, 28, 1000, 2878, 2908};
    // The last pass that changes the plane's picture.
    constexpr int last_new_image = plane_region::max_passes * ball_camera::cycle_steps;
    struct variant {
        long slack;
        bool equal;
        bool walkers;  // false: the paths alone, whose boxes the walkers' would hide
    };
    const auto run = [&](std::uint32_t seed, const std::vector<int>& starts, const variant& v, int& partial,
                         int& differing) {
        auto scene = sized_scene(seed);
        scene->rules.slack = v.slack;
        scene->rules.most_share = 1e9;  // boxes however much changed
        bool after_empty = false;
        bool new_image_while_empty = false;
        for (const int first : starts)
            for (const window& w : windows) {
                while (scene->step_count < first)
                    scene->step();
                reshape(w.width, w.height, *scene);
                if (!v.walkers) {
                    scene->walkers.clear();
                    scene->walker_cursor = scene->walkers.end();
                }
                draw_frame(*scene);
                for (int k = 0; k < w.steps; ++k) {
                    scene->step();
                    const bool new_image =
                        scene->step_count % ball_camera::cycle_steps == 0 && scene->step_count <= last_new_image;
                    new_image_while_empty = new_image_while_empty || (w.width == 0 && new_image);
                    // Whole: the first over a frame drawn whole for anything
                    // (it copies the background, unless it holds this size's
                    // with the same plane), an empty window's, and a new
                    // plane image's.
                    const bool whole = (k == 0 && (!after_empty || new_image_while_empty)) || w.width == 0 || new_image;
                    const int boxes = render_frame(*scene, buffer_holds::last_frame);
                    glFinish();
                    partial += boxes >= 0 ? 1 : 0;
                    EXPECT_EQ(boxes < 0, whole) << "step " << scene->step_count << ", " << w.width << "x" << w.height;
                    const std::vector<std::uint8_t> damaged = window_bytes(w.width, w.height);
                    draw_frame(*scene);
                    const bool same = damaged == window_bytes(w.width, w.height);
                    differing += same ? 0 : 1;
                    if (v.equal) {
                        EXPECT_TRUE(same) << "seed " << seed << (v.walkers ? "" : " (paths alone)") << ", " << w.width
                                          << "x" << w.height << ", step " << scene->step_count << ", slack " << v.slack
                                          << ", " << boxes << " boxes";
                    }
                }
                new_image_while_empty = new_image_while_empty && w.width == 0;
                after_empty = w.width == 0;
            }
        reshape(W, H, *scene);
        const unsigned int textures[] = {scene->texture.texture_name, scene->backdrop.texture()};
        ASSERT_NE(textures[1], 0u);
        scene.reset();
        for (const unsigned int name : textures)
            EXPECT_FALSE(glIsTexture(name)) << "texture " << name << " outlives its scene";
    };
    for (const std::uint32_t seed : {7u, 42u}) {
        int partial = 0;
        int differing = 0;
        run(seed, {firsts, firsts + 5}, {0, true, true}, partial, differing);
        EXPECT_GE(partial, 40) << "seed " << seed << ": frames over the last redraw boxes";
    }
    int partial = 0;
    int differing = 0;
    run(7, {1000, 2878}, {0, true, false}, partial, differing);
    for (const bool walkers : {true, false}) {
        differing = 0;
        run(7, {0, 28, 1000}, {-1, false, walkers}, partial, differing);
        EXPECT_GT(differing, 0) << "boxes a pixel short change no byte, walkers " << walkers;
    }
}

// The video's progress line, its figures worked out by hand.
TEST(render, progress_text_gives_the_rate_and_the_time_left)
{
    struct row {
        std::int64_t done;
        std::int64_t total;
        double seconds;
        const char* text;
    };
    const row rows[] = {
        {0, 3001, 0.0, "v.webm: 0 of 3001 frames (0 %)"},
        // 30 a second: the 2701 frames left take 90.03 s.
        {300, 3001, 10.0, "v.webm: 300 of 3001 frames (9 %), 30.0 frames a second, 1:30 left"},
        // 0.4 a second: 99990 frames take 249975 s, 69 h 26 min 15 s.
        {10, 100000, 25.0, "v.webm: 10 of 100000 frames (0 %), 0.4 frames a second, 69:26:15 left"},
        {3001, 3001, 75.5, "v.webm: 3001 of 3001 frames (100 %), 39.7 frames a second, 0:00 left"},
    };
    for (const row& r : rows)
        EXPECT_EQ(progress_text("v.webm", r.done, r.total, r.seconds), r.text);
}
