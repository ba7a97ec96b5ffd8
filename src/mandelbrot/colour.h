// Colours shared by the plane's picture and the orbit objects.
#pragma once

#include <complex>
#include <cstdint>

// Four bytes in the order OpenGL colour arrays of unsigned bytes take them.
struct colour_rgba {
    std::uint8_t r;
    std::uint8_t g;
    std::uint8_t b;
    std::uint8_t a;
};

// Truncates toward zero and keeps the low 8 bits. Values that are not
// numbers, or that no integer type can hold, give 0 instead of undefined
// behaviour.
std::uint8_t to_byte(double x);

// Hue, saturation and value in [0, 1] to red, green and blue; a hue that is
// not a number gives grey. Writes rgb[0..2] only, never an alpha byte.
void hsv_to_rgb(double h, double s, double v, std::uint8_t* rgb);

// The texel of a live point at z with parameter c: hue from the direction of
// z - c, value from the logarithm of its length; alpha 255.
colour_rgba live_colour(std::complex<float> z, std::complex<float> c);
// The same from the displacement z - c, computed as live_colour computes it
// (dx = re z - re c, dy = im z - im c, in single precision).
colour_rgba displacement_colour(float dx, float dy);
