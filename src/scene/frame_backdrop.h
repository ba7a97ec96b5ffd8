// The window's background as the last whole frame drew it: the clear colour
// and the plane, copied from the frame buffer into a texture. A frame drawn
// over the last one copies it back into its boxes instead of clearing and
// sampling the plane there again, which costs software OpenGL far more.
#pragma once

#include <algorithm>
#include <iterator>

#include "scene/frame_damage.h"

class frame_backdrop {
public:
    frame_backdrop() = default;
    frame_backdrop(const frame_backdrop&) = delete;
    frame_backdrop& operator=(const frame_backdrop&) = delete;

    // Copies the viewport's pixels, drawn so far with these matrices (the
    // projection's and the model view's), into the texture; false (and the
    // backdrop unusable) where the texture cannot hold them.
    bool capture(const pixel_box& viewport, const double (&matrices)[32]);
    // Copies the captured pixels back inside the current scissor box,
    // exactly, with the GL state as it found it.
    void draw() const;
    // Captured for this window and these matrices since the last forget().
    bool holds(const pixel_box& viewport, const double (&matrices)[32]) const;
    // The plane drawn in the background has changed.
    void forget() { captured = false; }

private:
    unsigned int texture_name = 0;
    int texture_width = 0;  // powers of two, as OpenGL 1.1 requires
    int texture_height = 0;
    pixel_box window = no_pixels;
    double drawn_with[32] = {};
    bool captured = false;
};
