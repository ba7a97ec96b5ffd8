// The picture of the plane: one RGBA texel per grid point, recoloured after
// every whole pass and kept in a power-of-two OpenGL texture.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "plane/colour.h"
#include "plane/plane_region.h"

// The smallest power of two not below n, and at least 2.
int texture_size(int n);

class plane_texture {
public:
    explicit plane_texture(const plane_region& region);

    // Recomputes every texel from the grid into the caller's own image.
    void compose();
    // Copies that image into pixels and raises pixels_changed. With another
    // thread uploading, the caller holds the hand-over lock: an upload then
    // never reads a half-written image, and a raised flag is never lost to
    // an earlier upload's clearing.
    void publish();
    // Both, the image computed outside the hand-over lock when one is given
    // and published under it (any lock type std::lock_guard takes).
    void recolour()
    {
        compose();
        publish();
    }
    template <class lock_type>
    void recolour(lock_type* hand_over)
    {
        compose();
        std::lock_guard<lock_type> guard(*hand_over);
        publish();
    }

    // GL side, window thread with the context current.
    void create_gl_texture();
    // Uploads the image if it changed, then draws the textured quad.
    void draw();
    void resize(int new_width, int new_height);

    const plane_region* region;
    int width;
    int height;
    unsigned int texture_name;
    float s_extent;
    float t_extent;
    // R, G, B, A per texel, rows from the region's top row down.
    std::vector<std::uint8_t> pixels;
    bool pixels_changed;

    // The worker's own copy of the image: recolour writes here and copies it
    // into pixels under the hand-over lock. Escaped texels keep the colours
    // of their last live picture, so this copy is never swapped away.
    std::vector<std::uint8_t> work_pixels;
    // The region's pass count at the last compose (-1 before the first).
    int composed_pass;
};
