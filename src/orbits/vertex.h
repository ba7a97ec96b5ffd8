#pragma once

// A position in the scene's plane z = 0, as OpenGL vertex arrays of two
// floats take it.
struct vertex2f {
    float x;
    float y;
};
