// The window's background as the last whole frame drew it: the clear colour
// and the plane, copied from the frame buffer into a texture. A frame drawn
// over the last one copies it back into its boxes instead of clearing and
// sampling the plane there again, which costs software OpenGL far more.
#pragma once

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "scene/frame_damage.h"

class frame_backdrop {
public:
    frame_backdrop() = default;
    // Deletes the texture: the context that made it must be current.
    ~frame_backdrop();
    frame_backdrop(const frame_backdrop&) = delete;
    frame_backdrop& operator=(const frame_backdrop&) = delete;

    // Copies the viewport's pixels, drawn so far with these matrices (the
    // projection's and the model view's) over the plane image of this
    // number, into the texture; false (and the backdrop unusable) where the
    // texture cannot hold them. A window size whose texture could not be had
    // is not tried again until the size changes.
    bool capture(const pixel_box& viewport, const double (&matrices)[32], std::uint32_t plane_image);
    // Copies the captured pixels back inside the current scissor box,
    // exactly, with the GL state as it found it.
    void draw() const;
    // Captured for this window, these matrices and this plane image.
    bool holds(const pixel_box& viewport, const double (&matrices)[32], std::uint32_t plane_image) const;

    unsigned int texture() const { return texture_name; }

private:
    // Binds the texture, made with these sides (powers of two).
    void allocate(int width, int height);

    unsigned int texture_name = 0;
    int texture_width = 0;  // powers of two, as OpenGL 1.1 requires
    int texture_height = 0;
    pixel_box window = no_pixels;
    double drawn_with[32] = {};
    std::uint32_t image = 0;
    bool captured = false;
    // The viewport size whose copy last failed (0 x 0: none).
    long failed_width = 0;
    long failed_height = 0;
};
