// The damage boxes as plain geometry, without a context.
#include <gtest/gtest.h>

#include <vector>

#include "random/random.h"
#include "scene/frame_damage.h"

namespace {

// Scene to window: twice the size, moved by (10, 5).
const scene_projection doubled = [](double x, double y, double& wx, double& wy) {
    wx = 2.0 * x + 10.0;
    wy = 2.0 * y + 5.0;
    return true;
};

}  // namespace

TEST(frame_damage, projected_box_reaches_whole_pixels_around_the_points)
{
    const vertex2f points[] = {{1.0f, 1.0f}, {3.0f, 2.25f}};
    // Window x 12 to 16, y 7 to 9.5; a reach of 1 and a slack of 2.
    const pixel_box box = projected_box(doubled, points, 2, 1.0, 2);
    EXPECT_EQ(box.left, 9);
    EXPECT_EQ(box.bottom, 4);
    EXPECT_EQ(box.right, 19);
    EXPECT_EQ(box.top, 13);
    const scene_projection nowhere = [](double, double, double&, double&) { return false; };
    const pixel_box lost = projected_box(nowhere, points, 2, 1.0, 0);
    EXPECT_EQ(lost.left, every_pixel.left);
    EXPECT_EQ(lost.right, every_pixel.right);
}

// Every damaged pixel inside the window stays in a box, none outside it,
// and no more boxes than asked: scattered, overlapping and cut-off boxes.
TEST(frame_damage, merged_boxes_keep_every_damaged_pixel_of_the_window)
{
    const pixel_box window{0, 0, 200, 150};
    const std::vector<pixel_box> boxes = {{-5, -5, 3, 4},       {10, 10, 11, 11},   {31, 31, 33, 33},
                                          {40, 100, 90, 120},   {60, 110, 70, 160}, {150, 5, 260, 6},
                                          {199, 149, 201, 151}, {120, 60, 121, 90}, {5, 140, 6, 141}};
    for (const std::size_t most : {std::size_t{24}, std::size_t{3}, std::size_t{1}}) {
        std::vector<pixel_box> merged;
        ASSERT_TRUE(damage_boxes(boxes, window, most, 1e9, merged));
        EXPECT_LE(merged.size(), most);
        for (const pixel_box& m : merged) {
            EXPECT_FALSE(m.empty());
            EXPECT_TRUE(m.left >= 0 && m.bottom >= 0 && m.right <= 200 && m.top <= 150);
        }
        int missed = 0;
        for (const pixel_box& b : boxes)
            for (long y = std::max(b.bottom, 0L); y < std::min(b.top, 150L); ++y)
                for (long x = std::max(b.left, 0L); x < std::min(b.right, 200L); ++x) {
                    bool kept = false;
                    for (const pixel_box& m : merged)
                        kept |= x >= m.left && x < m.right && y >= m.bottom && y < m.top;
                    missed += kept ? 0 : 1;
                }
        EXPECT_EQ(missed, 0) << "at most " << most << " boxes";
    }
}

// A whole frame where the boxes would cover more than 60 % of the window:
// decided from the damaged tiles' own boxes before merging, and from the
// merged boxes after it. A 256 x 128 window (8 x 4 tiles) takes boxes of
// 19,660 pixels at most.
TEST(frame_damage, whole_frames_where_boxes_would_cover_most_of_the_window)
{
    const pixel_box window{0, 0, 256, 128};
    // One pixel in the middle of every tile: 32 tiles, 32 pixels.
    std::vector<pixel_box> every_tile;
    for (long y = 16; y < 128; y += 32)
        for (long x = 16; x < 256; x += 32)
            every_tile.push_back({x, y, x + 1, y + 1});
    struct case_ {
        const char* what;
        std::vector<pixel_box> damage;
        std::size_t most;
        bool whole;
    };
    const case_ cases[] = {
        {"20,000 pixels damaged", {{0, 0, 200, 100}}, 8, true},
        {"19,600 pixels damaged", {{0, 0, 196, 100}}, 8, false},
        {"a pixel in every tile: four rows of 225 x 1", every_tile, 8, false},
        {"200 pixels in opposite corners, merged into one box", {{0, 0, 10, 10}, {246, 118, 256, 128}}, 1, true},
    };
    for (const case_& c : cases) {
        std::vector<pixel_box> boxes;
        EXPECT_EQ(!damage_boxes(c.damage, window, c.most, 0.6, boxes), c.whole) << c.what;
    }
}

// A walker's trail is damaged in runs of segments: every point of every
// segment lies in a box by the line's reach, also where two runs join.
TEST(frame_damage, walker_trail_runs_cover_every_segment)
{
    const damage_rules rules{1.0, 1.0, 0, 0.6};
    const std::vector<std::unique_ptr<orbit_path>> no_paths;
    for (const std::size_t count : {std::size_t{10}, std::size_t{20}}) {
        orbit_picture before;
        orbit_picture now;
        now.walkers.push_back({{0.0f, 0.0f}, {255, 255, 255, 255}, 0, count});
        for (std::size_t i = 0; i < count; ++i) {
            now.trail.push_back({10.0f * static_cast<float>(i), 5.0f * static_cast<float>(i)});
            now.trail_colours.push_back({255, 255, 255, 255});
        }
        const frame_outline outline;
        std::vector<pixel_box> damage;
        ASSERT_TRUE(changed_boxes(doubled, no_paths, before, outline, now, outline, false, rules, damage));
        for (std::size_t i = 0; i + 1 < count; ++i)
            for (const double t : {0.0, 0.25, 0.5, 0.75, 1.0}) {
                const double x = 20.0 * (static_cast<double>(i) + t) + 10.0;
                const double y = 10.0 * (static_cast<double>(i) + t) + 5.0;
                bool covered = false;
                for (const pixel_box& b : damage)
                    covered =
                        covered || (static_cast<double>(b.left) <= x - 1.0 && x + 1.0 <= static_cast<double>(b.right) &&
                                    static_cast<double>(b.bottom) <= y - 1.0 && y + 1.0 <= static_cast<double>(b.top));
                EXPECT_TRUE(covered) << count << " vertices, segment " << i << " at " << t;
            }
    }
}

// A frame like the last damages nothing; a path's strip sliding on damages
// its ends (and its brighter head), not the rest; another projection asks
// for a whole frame.
TEST(frame_damage, changes_between_two_frames)
{
    seed_random_engine(3);
    std::vector<std::unique_ptr<orbit_path>> paths;
    paths.push_back(std::make_unique<orbit_path>(colour_rgba{200, 100, 50, 255}));
    orbit_path& path = *paths[0];
    path.resize(640, 480);
    while (path.shown < path.tail_length)
        path.advance_window();
    const damage_rules rules{1.0, 1.0, 0, 0.6};
    std::list<std::unique_ptr<orbit_walker>> no_walkers;
    orbit_picture before;
    before.capture(paths, no_walkers);
    frame_outline outline_before;
    outline_orbits(doubled, paths, before, rules, outline_before);

    std::vector<pixel_box> damage;
    ASSERT_TRUE(changed_boxes(doubled, paths, before, outline_before, before, outline_before, false, rules, damage));
    EXPECT_TRUE(damage.empty());

    path.advance_window();
    orbit_picture now;
    now.capture(paths, no_walkers);
    frame_outline outline_now;
    outline_orbits(doubled, paths, now, rules, outline_now);
    ASSERT_TRUE(changed_boxes(doubled, paths, before, outline_before, now, outline_now, false, rules, damage));
    ASSERT_FALSE(damage.empty());
    // Three segments dropped at the tail; three added at the head and the
    // 25 before it brightened: five boxes of 8 segments at most, of the
    // strip's many more.
    ASSERT_GT(path.shown, 100);
    EXPECT_LE(damage.size(), 5u);

    frame_outline moved = outline_now;
    moved.matrices[12] += 1.0;
    damage.clear();
    EXPECT_FALSE(changed_boxes(doubled, paths, before, outline_before, now, moved, false, rules, damage));
}

// A path's strip in pieces of 32 segments, the last one shorter: each
// piece's box holds its segments' ends, and together they make the strip's.
TEST(frame_damage, path_pieces_cover_the_strip_segment_by_segment)
{
    seed_random_engine(5);
    std::vector<std::unique_ptr<orbit_path>> paths;
    paths.push_back(std::make_unique<orbit_path>(colour_rgba{20, 200, 90, 255}));
    paths[0]->resize(640, 480);
    while (paths[0]->shown < paths[0]->tail_length)
        paths[0]->advance_window();
    orbit_picture picture;
    picture.capture(paths, {});
    const damage_rules rules{1.0, 1.0, 0, 0.6};
    struct case_ {
        int shown;
        std::size_t pieces;
    };
    for (const case_ c : {case_{1, 0}, case_{2, 1}, case_{33, 1}, case_{34, 2}, case_{66, 3}}) {
        picture.path_windows[0].shown = c.shown;
        frame_outline outline;
        outline_orbits(doubled, paths, picture, rules, outline);
        ASSERT_EQ(outline.path_pieces_first.size(), 2u);
        EXPECT_EQ(outline.path_pieces_first[1] - outline.path_pieces_first[0], c.pieces) << c.shown << " shown";
        pixel_box strip = no_pixels;
        for (std::size_t k = 0; k < c.pieces && k < outline.path_pieces.size(); ++k) {
            const pixel_box& piece = outline.path_pieces[k];
            strip.take_in(piece);
            const int last = std::min(static_cast<int>(k) * 32 + 32, c.shown - 1);
            for (int v = static_cast<int>(k) * 32; v <= last; ++v) {
                const vertex2f p = paths[0]->vertices[static_cast<std::size_t>(picture.path_windows[0].first + v)];
                // Inside by the line's reach of 1 pixel.
                EXPECT_LE(piece.left, 2.0 * p.x + 10.0 - 1.0) << c.shown << " shown, vertex " << v;
                EXPECT_GE(piece.right, 2.0 * p.x + 10.0 + 1.0) << c.shown << " shown, vertex " << v;
                EXPECT_LE(piece.bottom, 2.0 * p.y + 5.0 - 1.0) << c.shown << " shown, vertex " << v;
                EXPECT_GE(piece.top, 2.0 * p.y + 5.0 + 1.0) << c.shown << " shown, vertex " << v;
            }
        }
        const pixel_box& whole = outline.paths[0];
        EXPECT_TRUE(strip.left == whole.left && strip.right == whole.right && strip.bottom == whole.bottom &&
                    strip.top == whole.top)
            << c.shown << " shown";
    }
}
