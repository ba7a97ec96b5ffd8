#pragma once

// A position in the scene's plane z = 0, as OpenGL vertex arrays of two
// floats take it.
struct vertex2f {
    float x;
    float y;
};

// The factor by which positions scale when a window side changes from old to
// new pixels; 1 when there was no old size yet.
inline double resize_factor(int new_size, int old_size)
{
    return old_size != 0 ? static_cast<double>(new_size) / old_size : 1.0;
}
