#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "mandelbrot/colour.h"
#include "plane/plane_texture.h"

namespace {

std::array<int, 3> rgb(double h, double s, double v)
{
    std::uint8_t out[4] = {1, 2, 3, 77};
    hsv_to_rgb(h, s, v, out);
    EXPECT_EQ(out[3], 77) << "the alpha byte is never written";
    return {out[0], out[1], out[2]};
}

// Texel of grid column i, row j in the published image.
const std::uint8_t* texel(const plane_texture& texture, int i, int j)
{
    const int k = texture.region->rows - 1 - j;
    return &texture.pixels[static_cast<std::size_t>(k * texture.region->columns + i) * 4];
}

}  // namespace

TEST(hsv_to_rgb, sectors_and_truncation)
{
    // A quarter into each sector, s = 0.5, v = 0.9: v * 255 = 229.5, and
    // p = 114.75, q = 200.81, t = 143.44 truncate to four distinct bytes.
    const struct {
        double degrees;
        std::array<int, 3> expected;
    } sectors[] = {
        {15.0, {229, 143, 114}},   // v t p
        {75.0, {200, 229, 114}},   // q v p
        {135.0, {114, 229, 143}},  // p v t
        {195.0, {114, 200, 229}},  // p q v
        {255.0, {143, 114, 229}},  // t p v
        {315.0, {229, 114, 200}},  // v p q
    };
    for (const auto& sector : sectors)
        EXPECT_EQ(rgb(sector.degrees / 360.0, 0.5, 0.9), sector.expected) << sector.degrees << " degrees";
    // 0.6 * 360 / 60 rounds just above 3.6: q truncates to 101, not 102.
    EXPECT_EQ(rgb(0.6, 1.0, 1.0), (std::array<int, 3>{0, 101, 255}));
    EXPECT_EQ(rgb(1.0, 0.7, 0.9), rgb(0.0, 0.7, 0.9));
    EXPECT_EQ(rgb(0.3, 0.0, 0.5), (std::array<int, 3>{127, 127, 127}));
    EXPECT_EQ(rgb(0.3, 0.0, 1.0), (std::array<int, 3>{255, 255, 255}));
}

TEST(hsv_to_rgb, hue_that_is_not_a_number_gives_grey)
{
    EXPECT_EQ(rgb(std::nan(""), 0.5, 0.5), (std::array<int, 3>{127, 127, 127}));
    EXPECT_EQ(rgb(INFINITY, 0.5, 0.5), (std::array<int, 3>{127, 127, 127}));
    EXPECT_EQ(rgb(std::nan(""), 0.5, 0.0), (std::array<int, 3>{0, 0, 0}));
}

TEST(hsv_to_rgb, byte_conversion_is_defined_everywhere)
{
    EXPECT_EQ(to_byte(255.9), 255);
    EXPECT_EQ(to_byte(256.0), 0);  // low 8 bits
    EXPECT_EQ(to_byte(-0.9), 0);
    EXPECT_EQ(to_byte(std::nan("")), 0);
    EXPECT_EQ(to_byte(INFINITY), 0);
    EXPECT_EQ(to_byte(-1e300), 0);
}

TEST(plane_texture, texture_size_is_the_next_power_of_two_from_two)
{
    EXPECT_EQ(texture_size(680), 1024);
    EXPECT_EQ(texture_size(510), 512);
    EXPECT_EQ(texture_size(1024), 1024);
    EXPECT_EQ(texture_size(3), 4);
    EXPECT_EQ(texture_size(2), 2);
    EXPECT_EQ(texture_size(1), 2);
}

TEST(plane_texture, starts_opaque_black_with_the_flag_raised)
{
    const plane_region region(saver_rectangle);
    const plane_texture texture(region);
    EXPECT_EQ(texture.width, 680);
    EXPECT_EQ(texture.height, 510);
    EXPECT_EQ(texture.s_extent, 0.6640625f);
    EXPECT_EQ(texture.t_extent, 0.99609375f);
    ASSERT_EQ(texture.pixels.size(), 680u * 510u * 4u);
    for (std::size_t i = 0; i < texture.pixels.size(); i += 4) {
        ASSERT_EQ(texture.pixels[i], 0);
        ASSERT_EQ(texture.pixels[i + 1], 0);
        ASSERT_EQ(texture.pixels[i + 2], 0);
        ASSERT_EQ(texture.pixels[i + 3], 255);
    }
    EXPECT_TRUE(texture.pixels_changed);
}

TEST(plane_texture, displacement_sets_hue_and_value)
{
    plane_region region(saver_rectangle);
    plane_texture texture(region);
    auto place = [&](int i, int j, float dx, float dy) {
        region.set_iterate(i, j, region.point(i, j).c + complex_f(dx, dy));
    };
    // Value ln(length) / 10 + 0.5: 0.569 at length 2 and 0.431 at 0.5, where
    // another divisor or base of logarithm gives other bytes.
    place(0, 0, 2.0f, 0.0f);   // along +re: hue 0
    place(1, 0, 0.0f, -1.0f);  // straight down: hue 0.25, as straight up
    place(2, 0, 0.0f, 1.0f);
    place(3, 0, -1.0f, 0.0f);   // along -re: hue 0.5, length 1: value 0.5
    place(4, 0, 0.001f, 0.0f);  // below e^-5: value 0
    place(5, 0, 0.3f, -0.4f);   // below the axis as above: hue 0.1476, f = 0.8855
    texture.pixels_changed = false;
    texture.recolour();
    EXPECT_TRUE(texture.pixels_changed);
    auto colour = [&](int i) {
        const std::uint8_t* t = texel(texture, i, 0);
        return std::array<int, 4>{t[0], t[1], t[2], t[3]};
    };
    EXPECT_EQ(colour(0), (std::array<int, 4>{145, 72, 72, 255}));
    EXPECT_EQ(colour(1), colour(2));
    EXPECT_EQ(colour(1), (std::array<int, 4>{95, 127, 63, 255}));
    EXPECT_EQ(colour(3), (std::array<int, 4>{63, 127, 127, 255}));
    EXPECT_EQ(colour(4), (std::array<int, 4>{0, 0, 0, 255}));
    EXPECT_EQ(colour(5), (std::array<int, 4>{109, 103, 54, 255}));
}

TEST(plane_texture, image_rows_run_from_the_top_row_down)
{
    plane_region region(saver_rectangle);
    plane_texture texture(region);
    region.set_iterate(5, 509, region.point(5, 509).c + complex_f(1.0f, 0.0f));  // top row
    texture.recolour();
    const std::uint8_t* first_row = &texture.pixels[5 * 4];
    EXPECT_EQ(first_row[0], 127);
    EXPECT_EQ(first_row[3], 255);
}

TEST(plane_texture, escaped_point_turns_transparent_and_keeps_its_last_colour)
{
    plane_region region(saver_rectangle);
    plane_texture texture(region);
    // Column 0, row 0 is c = -2.1 - 1.2i: its third iterate, about
    // -16.1 + 5.5i, is the first beyond the radius, so pass 3 skips it.
    region.advance_pass();
    region.advance_pass();
    texture.recolour();
    const std::uint8_t* t = texel(texture, 0, 0);
    const std::array<int, 4> after_first{t[0], t[1], t[2], t[3]};
    EXPECT_EQ(after_first[3], 255);
    region.advance_pass();
    texture.recolour();
    EXPECT_LT(region.point(0, 0).steps, region.pass_count);
    t = texel(texture, 0, 0);
    EXPECT_EQ((std::array<int, 4>{t[0], t[1], t[2], t[3]}),
              (std::array<int, 4>{after_first[0], after_first[1], after_first[2], 0}));
}

TEST(plane_texture, hand_over_publishes_under_the_given_lock)
{
    plane_region region(saver_rectangle);
    plane_texture texture(region);
    region.advance_pass();
    texture.pixels_changed = false;
    const std::vector<std::uint8_t> before = texture.pixels;

    std::mutex lock;
    std::unique_lock<std::mutex> held(lock);
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        recolour_handing_over(texture, lock);
        returned = true;
    });
    // Recolouring takes a few milliseconds; while this thread holds the lock
    // it must wait, however long it is given, and publish nothing.
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    while (!returned && std::chrono::steady_clock::now() < give_up)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_FALSE(returned);
    EXPECT_FALSE(texture.pixels_changed);
    EXPECT_EQ(texture.pixels, before);

    held.unlock();
    worker.join();
    EXPECT_TRUE(texture.pixels_changed);
    EXPECT_NE(texture.pixels, before);
    EXPECT_EQ(texture.pixels, texture.work_pixels);
    EXPECT_TRUE(lock.try_lock());
    lock.unlock();
}

// A band's span runs exactly from its first to past its last opaque
// column, whether the pass's columns were composed ahead or after it.
TEST(plane_texture, spans_reach_exactly_the_opaque_columns_of_each_band)
{
    struct texel_at {
        int column;
        int row;
    };
    // On band edges and the image's sides; every other point starts beyond
    // the radius.
    const texel_at live[] = {{0, 0}, {679, 31}, {300, 32}, {301, 63}, {5, 480}, {679, 509}, {17, 509}};
    std::array<texel_span, plane_texture::box_count> expected;
    expected.fill({680, 0});
    expected[0] = {0, 680};
    expected[1] = {300, 302};
    expected[15] = {5, 680};
    for (const double ahead : {0.0, 0.4, 1.0}) {
        plane_region region(6.0f, 6.0f, 7.0f, 7.0f);
        plane_texture texture(region);
        for (const texel_at& t : live)
            region.set_iterate(t.column, t.row, complex_f(0.0f, 0.0f));
        for (int phase = 1; phase <= 29; ++phase) {
            region.prepare_pass(phase / 29.0);
            if (phase / 29.0 <= ahead)
                texture.compose_ahead();
        }
        region.advance_pass();
        texture.recolour();
        for (std::size_t b = 0; b < expected.size(); ++b) {
            const bool empty = expected[b].first >= expected[b].end;
            EXPECT_TRUE(empty ? texture.spans[b].first >= texture.spans[b].end
                              : texture.spans[b].first == expected[b].first && texture.spans[b].end == expected[b].end)
                << "composed ahead " << ahead << ", band " << b << ": " << texture.spans[b].first << " to "
                << texture.spans[b].end;
        }
    }
}

// The upload never waits for a compose, and never reads a half-published
// image: a recording lock sees compose run unlocked and publish locked (a
// lock taken and dropped at once also makes another thread wait, so the
// test above alone does not tell them apart).
TEST(plane_texture, hand_over_composes_unlocked_and_publishes_locked)
{
    struct probe_lock {
        bool held = false;
        void lock()
        {
            EXPECT_FALSE(held);
            held = true;
        }
        void unlock() { held = false; }
    };
    struct probe_texture {
        const probe_lock* hand_over;
        std::vector<std::string> calls;
        void compose() { calls.push_back(hand_over->held ? "compose, locked" : "compose"); }
        void publish() { calls.push_back(hand_over->held ? "publish, locked" : "publish"); }
    };
    probe_lock lock;
    probe_texture texture{&lock, {}};
    recolour_handing_over(texture, lock);
    EXPECT_EQ(texture.calls, (std::vector<std::string>{"compose", "publish, locked"}));
    EXPECT_FALSE(lock.held);
}

// The scene composes the coming picture during the look-ahead steps; the
// whole pass composes the columns left. Whatever share was composed ahead,
// the published image and its spans equal those of one compose after the
// pass, and composing ahead leaves the published image alone.
TEST(plane_texture, composing_ahead_gives_the_pictures_of_composing_after_the_pass)
{
    plane_region plain_region(saver_rectangle);
    plane_region ahead_region(saver_rectangle);
    plane_texture plain(plain_region);
    plane_texture ahead(ahead_region);
    // Share of the columns composed ahead, pass by pass.
    const double shares[] = {1.0, 0.5, 0.0, 1.0, 0.2, 1.0, 1.0, 0.7};
    int pass = 0;
    for (const double share : shares) {
        const std::vector<std::uint8_t> published = ahead.pixels;
        for (int phase = 1; phase <= 29; ++phase) {
            plain_region.prepare_pass(phase / 29.0);
            ahead_region.prepare_pass(phase / 29.0);
            if (phase / 29.0 <= share)
                ahead.compose_ahead();
        }
        EXPECT_TRUE(ahead.pixels == published) << "pass " << pass;
        plain_region.advance_pass();
        ahead_region.advance_pass();
        plain.recolour();
        ahead.recolour();
        ++pass;
        EXPECT_TRUE(ahead.pixels == plain.pixels) << "pass " << pass;
        for (std::size_t b = 0; b < plain.spans.size(); ++b)
            EXPECT_TRUE(ahead.spans[b].first == plain.spans[b].first && ahead.spans[b].end == plain.spans[b].end)
                << "pass " << pass << ", box " << b;
    }
    // Points escaped on the way: the pictures were not all opaque.
    EXPECT_LT(plain.spans[0].end - plain.spans[0].first, plane_region::grid_columns);
}
