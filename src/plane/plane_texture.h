// The picture of the plane: one RGBA texel per grid point, recoloured after
// every whole pass and kept in a power-of-two OpenGL texture.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

#include "mandelbrot/colour.h"
#include "plane/plane_region.h"
#include "plane/scissor_boxes.h"

// The smallest power of two not below n, and at least 2.
int texture_size(int n);

// Recolours a texture that another thread uploads: the image is computed
// outside the hand-over lock and published under it. For any texture with
// compose() and publish() and any lock std::lock_guard takes.
template <class texture_type, class lock_type>
void recolour_handing_over(texture_type& texture, lock_type& hand_over)
{
    texture.compose();
    std::lock_guard<lock_type> guard(hand_over);
    texture.publish();
}

class plane_texture {
public:
    explicit plane_texture(const plane_region& region);

    // Recomputes every texel from the grid into the caller's own image;
    // right after a whole pass, only the texels it changed, in the columns
    // not composed ahead.
    void compose();
    // Between two whole passes, after look-ahead steps: the texels of the
    // columns the region has prepared since, as the coming pass will show
    // them (a point it advances shows its prepared colour), so that the
    // pass itself composes only the columns left. Only while the image
    // shows the region's latest pass; the image is the caller's own, already
    // published.
    void compose_ahead();
    // Copies that image into pixels and raises pixels_changed. With another
    // thread uploading, the caller holds the hand-over lock: an upload then
    // never reads a half-written image, and a raised flag is never lost to
    // an earlier upload's clearing.
    void publish();
    // Both, with no other thread to hand the image to.
    void recolour()
    {
        compose();
        publish();
    }

    // Bands of box_rows grid rows, from grid row 0 (the image's bottom).
    // Bands of 32 hug the set about a fifth tighter than bands of 64 for a
    // few more draw calls (16 boxes).
    static constexpr int box_rows = 32;
    static constexpr int box_count = (plane_region::grid_rows + box_rows - 1) / box_rows;
    static_assert(box_count <= max_scissor_bands, "every band can have a box");

    // Window thread, under the hand-over lock: takes a newly published image
    // and its spans for the next draw, and lowers pixels_changed. The upload
    // itself then runs outside the lock. The image is handed over by swapping
    // pixels with upload_pixels: afterwards pixels holds an older image,
    // which the next publish overwrites whole. Counts in image_count the
    // images whose bytes differ from the one taken before.
    void take_published();

    // The window boxes the quad is drawn in for the taken spans, projected
    // with the frame's matrices: their number, or -1 when the quad is drawn
    // whole (not scissored, or no boxes can be placed). boxes holds
    // box_count entries.
    int place_boxes(const scene_projection& project, scissor_box* boxes) const;

    // GL side, window thread with the context current.
    void create_gl_texture();
    // Uploads the taken image, if there is one, then draws the textured
    // quad: only inside scissor boxes around the taken spans when scissored,
    // since a fully transparent texel leaves the cleared background as it is.
    void draw();
    // Uploads the taken image, if there is one.
    void upload();
    void resize(int new_width, int new_height);

public:
    const plane_region* region;
    int width;
    int height;
    unsigned int texture_name;
    float s_extent;
    float t_extent;
    // R, G, B, A per texel, rows from the region's top row down: the
    // published image until take_published swaps it away.
    std::vector<std::uint8_t> pixels;
    bool pixels_changed;
    // Published with pixels: each band's span.
    std::array<texel_span, box_count> spans;
    // Draw in boxes (tests compare with the whole quad), and how many texels
    // beyond a span a box reaches: bilinear filtering reaches half a texel,
    // and a reach of 1 or more also takes in the neighbouring bands' spans
    // (a box of 0 is too tight, for tests).
    bool scissored = true;
    int box_reach = 2;

    // The worker's own copy of the image: recolour writes here and copies it
    // into pixels under the hand-over lock. Escaped texels keep the colours
    // of their last live picture, so this copy is never swapped away.
    std::vector<std::uint8_t> work_pixels;
    std::array<texel_span, box_count> work_spans;
    // The window thread's image, uploaded next when upload_pending, and the
    // spans it draws by.
    std::vector<std::uint8_t> upload_pixels;
    bool upload_pending;
    std::array<texel_span, box_count> drawn_spans;
    // Which picture of the plane upload_pixels holds: a count of the images
    // taken whose bytes changed. After the last pass every pass hands the
    // same bytes over again; frames keep what they drew of the plane then.
    std::uint32_t image_count;
    // The region's pass count at the last compose (-1 before the first).
    int composed_pass;
    // Columns 0 to ahead_columns - 1 of the image show the coming pass, and
    // ahead_spans hold their spans.
    int ahead_columns;
    std::array<texel_span, box_count> ahead_spans;
};
