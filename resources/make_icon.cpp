// Makes the saver's icon file from its own picture: the plane after a number
// of whole passes, computed by the project's core, cropped to a square around
// the set, scaled by area averaging and quantised to the icon's depths.
// Every step is integer or fixed single/double arithmetic, so the file comes
// out the same byte for byte on every run.
//
// Usage: velmora-icon-maker OUTPUT.ico
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

#include "plane/plane_region.h"
#include "plane/plane_texture.h"

namespace {

constexpr int picture_passes = 40;

struct rgba {
    std::uint8_t r, g, b, a;
};

struct picture {
    int size;
    std::vector<rgba> pixels;  // rows from the top
};

// The plane's own picture after picture_passes passes: the region's top row
// first, escaped points transparent.
picture plane_picture_square()
{
    plane_region region(saver_rectangle);
    plane_texture texture(region);
    for (int pass = 0; pass < picture_passes; ++pass)
        region.advance_pass();
    texture.recolour();

    // A square around the main body of the set; the picture is brightened
    // so that its brightest channel reaches 255.
    const int size = 440;
    const int centre_column =
        static_cast<int>((-0.6 - region.re_min) / (region.re_max - region.re_min) * (region.columns - 1));
    const int first_column = std::clamp(centre_column - size / 2, 0, region.columns - size);
    const int first_row = (region.rows - size) / 2;
    int brightest = 1;
    for (std::size_t texel = 0; texel < texture.pixels.size(); texel += 4)
        if (texture.pixels[texel + 3] != 0)
            brightest = std::max({brightest, int{texture.pixels[texel]}, int{texture.pixels[texel + 1]},
                                  int{texture.pixels[texel + 2]}});
    auto brightened = [brightest](std::uint8_t channel) {
        return static_cast<std::uint8_t>(channel * 255 / brightest);
    };
    picture square{size, std::vector<rgba>(static_cast<std::size_t>(size) * size)};
    for (int row = 0; row < size; ++row)
        for (int column = 0; column < size; ++column) {
            const std::size_t texel = (static_cast<std::size_t>(first_row + row) * region.columns +
                                       static_cast<std::size_t>(first_column + column)) *
                                      4;
            const std::uint8_t* p = &texture.pixels[texel];
            square.pixels[static_cast<std::size_t>(row) * size + column] = {brightened(p[0]), brightened(p[1]),
                                                                            brightened(p[2]), p[3]};
        }
    return square;
}

// Area average over the source pixels that each target pixel covers, with
// colours weighted by their alpha so that transparent texels add no colour.
picture scaled(const picture& source, int size)
{
    picture target{size, std::vector<rgba>(static_cast<std::size_t>(size) * size)};
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const int x0 = x * source.size / size;
            const int x1 = (x + 1) * source.size / size;
            const int y0 = y * source.size / size;
            const int y1 = (y + 1) * source.size / size;
            std::uint64_t r = 0, g = 0, b = 0, a = 0, count = 0;
            for (int sy = y0; sy < y1; ++sy)
                for (int sx = x0; sx < x1; ++sx) {
                    const rgba& p = source.pixels[static_cast<std::size_t>(sy) * source.size + sx];
                    r += std::uint64_t{p.r} * p.a;
                    g += std::uint64_t{p.g} * p.a;
                    b += std::uint64_t{p.b} * p.a;
                    a += p.a;
                    ++count;
                }
            rgba& out = target.pixels[static_cast<std::size_t>(y) * size + x];
            out.a = static_cast<std::uint8_t>(a / count);
            out.r = static_cast<std::uint8_t>(a != 0 ? r / a : 0);
            out.g = static_cast<std::uint8_t>(a != 0 ? g / a : 0);
            out.b = static_cast<std::uint8_t>(a != 0 ? b / a : 0);
        }
    return target;
}

using palette = std::vector<std::array<std::uint8_t, 3>>;

// A palette of at most count colours for the opaque pixels of the image, by
// median cut: the box with the widest channel range is split at its median
// until there are enough boxes; each box gives its mean colour. Entry 0 is
// black, which transparent pixels use.
palette median_cut(const picture& image, std::size_t count)
{
    using colour = std::array<std::uint8_t, 3>;
    std::vector<colour> pixels;
    for (const rgba& p : image.pixels)
        if (p.a >= 128)
            pixels.push_back({p.r, p.g, p.b});
    struct box {
        std::size_t begin, end;
    };
    auto widest_channel = [&](const box& b, int& range) {
        int channel = 0;
        range = -1;
        for (int c = 0; c < 3; ++c) {
            int low = 255, high = 0;
            for (std::size_t i = b.begin; i < b.end; ++i) {
                low = std::min<int>(low, pixels[i][static_cast<std::size_t>(c)]);
                high = std::max<int>(high, pixels[i][static_cast<std::size_t>(c)]);
            }
            if (high - low > range) {
                range = high - low;
                channel = c;
            }
        }
        return channel;
    };
    std::vector<box> boxes;
    if (!pixels.empty())
        boxes.push_back({0, pixels.size()});
    while (boxes.size() + 1 < count) {
        std::size_t chosen = boxes.size();
        int chosen_range = 0;
        int chosen_channel = 0;
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            int range = 0;
            const int channel = widest_channel(boxes[i], range);
            if (boxes[i].end - boxes[i].begin > 1 && range > chosen_range) {
                chosen = i;
                chosen_range = range;
                chosen_channel = channel;
            }
        }
        if (chosen == boxes.size())
            break;
        box& b = boxes[chosen];
        const auto channel = static_cast<std::size_t>(chosen_channel);
        // A stable sort keeps the result independent of the library.
        std::stable_sort(pixels.begin() + static_cast<std::ptrdiff_t>(b.begin),
                         pixels.begin() + static_cast<std::ptrdiff_t>(b.end),
                         [channel](const colour& x, const colour& y) { return x[channel] < y[channel]; });
        const std::size_t middle = b.begin + (b.end - b.begin) / 2;
        const std::size_t end = b.end;
        // Shortened before the push, which may move the boxes and b with them.
        b.end = middle;
        boxes.push_back({middle, end});
    }
    palette colours{{0, 0, 0}};
    for (const box& b : boxes) {
        std::array<std::uint64_t, 3> sum{0, 0, 0};
        for (std::size_t i = b.begin; i < b.end; ++i)
            for (std::size_t c = 0; c < 3; ++c)
                sum[c] += pixels[i][c];
        const std::uint64_t n = b.end - b.begin;
        colours.push_back({static_cast<std::uint8_t>(sum[0] / n), static_cast<std::uint8_t>(sum[1] / n),
                           static_cast<std::uint8_t>(sum[2] / n)});
    }
    colours.resize(count, {0, 0, 0});
    return colours;
}

// Index 0 is kept for transparent pixels.
std::uint8_t nearest(const palette& colours, const rgba& p)
{
    std::size_t best = 1;
    int best_distance = 1 << 30;
    for (std::size_t i = 1; i < colours.size(); ++i) {
        const int dr = p.r - colours[i][0];
        const int dg = p.g - colours[i][1];
        const int db = p.b - colours[i][2];
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < best_distance) {
            best_distance = distance;
            best = i;
        }
    }
    return static_cast<std::uint8_t>(best);
}

void put16(std::vector<std::uint8_t>& out, unsigned value)
{
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

std::size_t row_bytes(int width, int bits)
{
    return static_cast<std::size_t>((width * bits + 31) / 32 * 4);
}

// One icon image: header, palette, colour rows and the transparency mask,
// both bottom-up. Pixels below half opacity are transparent in the mask.
std::vector<std::uint8_t> icon_image(const picture& image, int bits)
{
    const int size = image.size;
    const palette colours = bits == 32 ? palette{} : median_cut(image, std::size_t{1} << bits);
    std::vector<std::uint8_t> out;
    put32(out, 40);
    put32(out, static_cast<std::uint32_t>(size));
    put32(out, static_cast<std::uint32_t>(size * 2));  // colour rows and mask rows
    put16(out, 1);
    put16(out, static_cast<unsigned>(bits));
    put32(out, 0);
    put32(out, static_cast<std::uint32_t>((row_bytes(size, bits) + row_bytes(size, 1)) * size));
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    for (const auto& colour : colours) {
        out.push_back(colour[2]);
        out.push_back(colour[1]);
        out.push_back(colour[0]);
        out.push_back(0);
    }
    for (int y = size - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(row_bytes(size, bits), 0);
        for (int x = 0; x < size; ++x) {
            const rgba& p = image.pixels[static_cast<std::size_t>(y) * size + x];
            const bool opaque = p.a >= 128;
            if (bits == 32) {
                row[static_cast<std::size_t>(x) * 4 + 0] = p.b;
                row[static_cast<std::size_t>(x) * 4 + 1] = p.g;
                row[static_cast<std::size_t>(x) * 4 + 2] = p.r;
                row[static_cast<std::size_t>(x) * 4 + 3] = p.a;
            } else {
                const std::uint8_t index = opaque ? nearest(colours, p) : 0;
                if (bits == 8)
                    row[static_cast<std::size_t>(x)] = index;
                else
                    row[static_cast<std::size_t>(x) / 2] |= static_cast<std::uint8_t>(x % 2 == 0 ? index << 4 : index);
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    for (int y = size - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(row_bytes(size, 1), 0);
        for (int x = 0; x < size; ++x)
            if (image.pixels[static_cast<std::size_t>(y) * size + x].a < 128)
                row[static_cast<std::size_t>(x) / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.ico\n", argv[0]);
        return 2;
    }
    const picture source = plane_picture_square();
    struct entry {
        int size;
        int bits;
    };
    const entry entries[] = {{32, 4}, {16, 4}, {48, 8}, {32, 8}, {16, 8}, {48, 32}, {32, 32}, {16, 32}};
    std::vector<std::vector<std::uint8_t>> images;
    for (const entry& e : entries)
        images.push_back(icon_image(scaled(source, e.size), e.bits));

    std::vector<std::uint8_t> file;
    put16(file, 0);
    put16(file, 1);  // an icon file
    put16(file, static_cast<unsigned>(images.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        file.push_back(static_cast<std::uint8_t>(entries[i].size));
        file.push_back(static_cast<std::uint8_t>(entries[i].size));
        file.push_back(static_cast<std::uint8_t>(entries[i].bits == 4 ? 16 : 0));
        file.push_back(0);
        put16(file, 1);
        put16(file, static_cast<unsigned>(entries[i].bits));
        put32(file, static_cast<std::uint32_t>(images[i].size()));
        put32(file, offset);
        offset += static_cast<std::uint32_t>(images[i].size());
    }
    for (const auto& image : images)
        file.insert(file.end(), image.begin(), image.end());

    std::ofstream out(argv[1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
