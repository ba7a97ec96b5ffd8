// The plane as first written: one iterated-point record per grid cell, the
// escape test through std::abs and every texel recomputed at each recolour.
// It is kept only to check the project's plane against, bit for bit, and to
// measure it by; nothing in the saver uses it.
#pragma once

#include <complex>
#include <cstdint>
#include <vector>

namespace reference {

using complex_f = std::complex<float>;

struct point {
    complex_f z;
    complex_f start;
    complex_f c;
    complex_f drawn;
    complex_f ratio;
    complex_f next;  // equal to z while nothing is prepared
    complex_f next_ratio;
    std::int32_t steps;

    void init_at(complex_f p);
    complex_f log_ratio(complex_f w) const;
    void prepare_next();
    void advance();
};

bool within_escape_radius(complex_f z);

class region {
public:
    static constexpr int max_passes = 96;

    region(float re_min, float im_min, float re_max, float im_max);

    void prepare_pass(double fraction);
    void advance_pass();

    float re_min;
    float im_min;
    float re_max;
    float im_max;
    int columns;
    int rows;
    std::vector<std::vector<point>> grid;
    int prepare_cursor;
    int pass_count;
};

class texture {
public:
    explicit texture(const region& shown);

    void recolour()
    {
        compose();
        publish();
    }
    void compose();
    void publish();

    const region* shown;
    std::vector<std::uint8_t> pixels;
    bool pixels_changed;
    std::vector<std::uint8_t> work_pixels;
};

}  // namespace reference
