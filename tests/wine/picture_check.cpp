// Compares a screenshot of the full-screen saver with the plane's picture as
// the project's core computes it: the grid after k whole passes, coloured by
// the texture code, placed on the screen by the saver's projection and camera.
//
// Usage:
//   picture_check black SCREENSHOT.ppm   share of (nearly) black pixels
//   picture_check set SCREENSHOT.ppm [LEFT,TOP,WIDTH,HEIGHT ...]
//                                        the pass count k whose picture the
//                                        screenshot matches best, and how well;
//                                        with areas (the monitors, where a
//                                        screen of several shows anything
//                                        between them), only their pixels,
//                                        and how well each matches at k
// Prints key=value facts; the suite judges them.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "plane/plane_region.h"
#include "plane/plane_texture.h"
#include "scene/frame.h"

namespace {

struct screenshot {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;  // rows from the top
};

// The next header field of a PPM file, skipping blanks and comment lines.
bool next_field(std::istream& in, int& value)
{
    for (;;) {
        const int c = in.peek();
        if (c == '#') {
            std::string comment;
            std::getline(in, comment);
        } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            in.get();
        } else {
            break;
        }
    }
    return static_cast<bool>(in >> value);
}

bool read_ppm(const char* path, screenshot& image)
{
    std::ifstream in(path, std::ios::binary);
    char magic[2] = {0, 0};
    in.read(magic, 2);
    int max_value = 0;
    if (!in || magic[0] != 'P' || magic[1] != '6' || !next_field(in, image.width) || !next_field(in, image.height) ||
        !next_field(in, max_value))
        return false;
    in.get();
    if (max_value != 255 || image.width <= 0 || image.height <= 0 || image.width > 16384 || image.height > 16384)
        return false;
    image.rgb.resize(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 3);
    in.read(reinterpret_cast<char*>(image.rgb.data()), static_cast<std::streamsize>(image.rgb.size()));
    return static_cast<bool>(in);
}

int black_share(const screenshot& image)
{
    std::size_t black = 0;
    for (std::size_t i = 0; i < image.rgb.size(); i += 3)
        if (image.rgb[i] < 16 && image.rgb[i + 1] < 16 && image.rgb[i + 2] < 16)
            ++black;
    std::printf("black_share=%.4f\n", static_cast<double>(black) / static_cast<double>(image.rgb.size() / 3));
    return 0;
}

// Where a screen pixel's centre lies on the texture, in texels. The camera
// looks straight down on the plane z = 0 from above the window's middle at
// the height that ball_camera::update_view gives it, through the saver's
// perspective projection.
struct texel_position {
    double u;
    double v;
};

class screen_to_texture {
public:
    screen_to_texture(int screen_width, int screen_height, int grid_columns, int grid_rows)
        : width(screen_width), height(screen_height), columns(grid_columns), rows(grid_rows)
    {
        constexpr double camera_distance = 0.09;  // ball_camera's distance
        const double eye_height = -0.5 * height + (0.5 * height + 3.0 * height) * (1.0 - camera_distance);
        const perspective_projection projection = window_projection(width, height);
        const double half_view = eye_height * std::tan(projection.fovy * 3.141592653589793 / 360.0);
        zoom = (0.5 * height) / half_view;
    }

    texel_position operator()(int x, int y_from_top) const
    {
        const double world_x = 0.5 * width + (x + 0.5 - 0.5 * width) / zoom;
        const double world_y = 0.5 * height + (0.5 * height - (y_from_top + 0.5)) / zoom;
        return {world_x / width * columns, world_y / height * rows};
    }

private:
    int width;
    int height;
    int columns;
    int rows;
    double zoom = 1.0;
};

// What the saver shows at a texture position: the bilinear blend of the four
// nearest texels, as GL_LINEAR samples them, blended by alpha over black.
void expected_colour(const plane_texture& texture, int columns, int rows, texel_position at, int out[3])
{
    const double u = at.u - 0.5;
    const double v = at.v - 0.5;
    const int i0 = static_cast<int>(std::floor(u));
    const int j0 = static_cast<int>(std::floor(v));
    const double fu = u - i0;
    const double fv = v - j0;
    double sum[4] = {0, 0, 0, 0};
    for (int dj = 0; dj < 2; ++dj)
        for (int di = 0; di < 2; ++di) {
            const int i = std::min(std::max(i0 + di, 0), columns - 1);
            const int j = std::min(std::max(j0 + dj, 0), rows - 1);
            const double weight = (di != 0 ? fu : 1.0 - fu) * (dj != 0 ? fv : 1.0 - fv);
            const std::uint8_t* texel =
                &texture.pixels[(static_cast<std::size_t>(j) * static_cast<std::size_t>(columns) +
                                 static_cast<std::size_t>(i)) *
                                4];
            for (int c = 0; c < 4; ++c)
                sum[c] += weight * texel[c];
        }
    for (int c = 0; c < 3; ++c)
        out[c] = static_cast<int>(sum[c] * sum[3] / 255.0 + 0.5);
}

struct area {
    int left;
    int top;
    int width;
    int height;
};

// How many of the sampled pixels of each area show the picture of the
// texture: within a tolerance in every channel.
std::vector<double> area_matches(const screenshot& image, const plane_texture& texture, const plane_region& region,
                                 const screen_to_texture& to_texture, const std::vector<area>& areas)
{
    constexpr int sample_step = 3;
    constexpr int tolerance = 24;
    std::vector<double> matches;
    for (const area& a : areas) {
        std::size_t matched = 0;
        std::size_t samples = 0;
        for (int y = a.top + 1; y < a.top + a.height; y += sample_step)
            for (int x = a.left + 1; x < a.left + a.width; x += sample_step) {
                int expected[3];
                expected_colour(texture, region.columns, region.rows, to_texture(x, y), expected);
                const std::uint8_t* shown =
                    &image.rgb[(static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) +
                                static_cast<std::size_t>(x)) *
                               3];
                bool close = true;
                for (int c = 0; c < 3; ++c)
                    close = close && std::abs(shown[c] - expected[c]) <= tolerance;
                matched += close ? 1 : 0;
                ++samples;
            }
        matches.push_back(samples > 0 ? static_cast<double>(matched) / static_cast<double>(samples) : 0.0);
    }
    return matches;
}

int best_pass(const screenshot& image, const std::vector<area>& areas)
{
    plane_region region(saver_rectangle);
    plane_texture texture(region);
    const screen_to_texture to_texture(image.width, image.height, region.columns, region.rows);
    double total_area = 0.0;
    for (const area& a : areas)
        total_area += static_cast<double>(a.width) * a.height;

    int best_k = -1;
    double best_match = -1.0;
    double match_at_zero = 0.0;
    std::vector<double> best_areas;
    for (int k = 0; k <= plane_region::max_passes; ++k) {
        if (k > 0) {
            region.advance_pass();
            texture.recolour();
        }
        const std::vector<double> matches = area_matches(image, texture, region, to_texture, areas);
        double match = 0.0;
        for (std::size_t i = 0; i < areas.size(); ++i)
            match += matches[i] * areas[i].width * areas[i].height / total_area;
        if (k == 0)
            match_at_zero = match;
        if (match > best_match) {
            best_match = match;
            best_k = k;
            best_areas = matches;
        }
    }
    std::printf("best_pass=%d\nbest_match=%.4f\nmatch_at_pass_0=%.4f\n", best_k, best_match, match_at_zero);
    for (std::size_t i = 0; areas.size() > 1 && i < areas.size(); ++i)
        std::printf("area_match=%.4f\n", best_areas[i]);
    return 0;
}

// LEFT,TOP,WIDTH,HEIGHT inside the image.
bool read_area(const char* text, const screenshot& image, area& a)
{
    return std::sscanf(text, "%d,%d,%d,%d", &a.left, &a.top, &a.width, &a.height) == 4 && a.left >= 0 && a.top >= 0 &&
           a.width > 0 && a.height > 0 && a.left + a.width <= image.width && a.top + a.height <= image.height;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: picture_check black|set SCREENSHOT.ppm [LEFT,TOP,WIDTH,HEIGHT ...]\n");
        return 2;
    }
    screenshot image;
    if (!read_ppm(argv[2], image)) {
        std::fprintf(stderr, "cannot read %s as a binary PPM\n", argv[2]);
        return 2;
    }
    const std::string mode = argv[1];
    if (mode == "black")
        return black_share(image);
    if (mode == "set") {
        std::vector<area> areas;
        for (int i = 3; i < argc; ++i) {
            areas.push_back({});
            if (!read_area(argv[i], image, areas.back())) {
                std::fprintf(stderr, "not an area of the screenshot: %s\n", argv[i]);
                return 2;
            }
        }
        if (areas.empty())
            areas.push_back({0, 0, image.width, image.height});
        return best_pass(image, areas);
    }
    std::fprintf(stderr, "unknown mode %s\n", argv[1]);
    return 2;
}
