#include "plane/scissor_boxes.h"

#include <gtest/gtest.h>

namespace {

// A window 10 pixels right of and 20 above the scene's origin, square to it.
bool shifted(double x, double y, double& window_x, double& window_y)
{
    window_x = x + 10.0;
    window_y = y + 20.0;
    return true;
}

// A quad of 100 x 64 scene units showing 100 x 64 texels in two bands of 32
// rows: band 0 (grid rows 0-31, the image's bottom) lies at window rows 52
// to 84, band 1 at 20 to 52.
constexpr quad_layout two_bands{100.0, 64.0, 100, 64, 32};

struct boxes_case {
    const char* what;
    texel_span spans[2];
    int reach;
    int placed;
    scissor_box first;
    scissor_box second;
    quad_layout quad = two_bands;
};

}  // namespace

TEST(scissor_boxes, boxes_cover_the_spans_with_their_reach_and_the_outer_edges)
{
    // Columns c map to window x = c + 10; the outermost edges reach two
    // pixels further.
    const boxes_case cases[] = {
        {"one band, no reach", {{10, 20}, {100, 0}}, 0, 1, {20, 52, 10, 34}, {}},
        {"a reach takes in the neighbour's span", {{10, 20}, {100, 0}}, 2, 2, {18, 52, 14, 34}, {18, 18, 14, 34}},
        {"no opaque texel, no box", {{100, 0}, {100, 0}}, 2, 0, {}, {}},
        // Columns 1.5 pixels wide: 11 to 21 at window x 26.5 to 41.5.
        {"edges between pixels are rounded outward",
         {{11, 21}, {100, 0}},
         0,
         1,
         {26, 52, 16, 34},
         {},
         {150.0, 64.0, 100, 64, 32}},
    };
    for (const boxes_case& c : cases) {
        SCOPED_TRACE(c.what);
        scissor_box boxes[2] = {};
        ASSERT_EQ(place_scissor_boxes(shifted, c.quad, c.spans, 2, c.reach, boxes), c.placed);
        const scissor_box* expected[] = {&c.first, &c.second};
        for (int b = 0; b < c.placed; ++b) {
            EXPECT_EQ(boxes[b].left, expected[b]->left);
            EXPECT_EQ(boxes[b].bottom, expected[b]->bottom);
            EXPECT_EQ(boxes[b].width, expected[b]->width);
            EXPECT_EQ(boxes[b].height, expected[b]->height);
        }
    }
}

TEST(scissor_boxes, none_are_placed_where_the_plane_is_tilted_or_a_band_too_thin)
{
    const texel_span spans[2] = {{10, 20}, {10, 20}};
    scissor_box boxes[2] = {};
    const scene_projection tilted = [](double x, double y, double& window_x, double& window_y) {
        window_x = x;
        window_y = y + 0.01 * x;
        return true;
    };
    EXPECT_EQ(place_scissor_boxes(tilted, two_bands, spans, 2, 0, boxes), -1);
    // Bands of 3 pixels.
    EXPECT_EQ(place_scissor_boxes(shifted, quad_layout{100.0, 6.0, 100, 64, 32}, spans, 2, 0, boxes), -1);
    const scene_projection unreachable = [](double, double, double&, double&) { return false; };
    EXPECT_EQ(place_scissor_boxes(unreachable, two_bands, spans, 2, 0, boxes), -1);
}
