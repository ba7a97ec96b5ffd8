// Steps the orbit walkers and paths of one scene as its worker does, without
// GL or a scene object, and prints an FNV-1a digest of the bits of every
// position and colour a frame would capture after each step. Builds with
// different compilers and code generation (the 64-bit build, the 32-bit x87
// build under QEMU) are compared by their digest lines.
//
// orbit_comparison [--steps N] [--seed S]
//   --steps N  simulation steps (default 2880, the plane's whole emergence);
//              the window grows from 1024x768 to 1280x800 halfway
//   --seed S   the random scene's seed (default 1)
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "orbits/orbit_path.h"
#include "orbits/orbit_picture.h"
#include "orbits/orbit_walker.h"
#include "plane/colour.h"
#include "plane/plane_region.h"
#include "random/random.h"

namespace {

// The scene's numbers: walkers and path attempts, steps per whole pass, and
// walkers whose next iterate each look-ahead step prepares.
constexpr int walker_count = 128;
constexpr int path_attempts = 50;
constexpr int cycle_steps = 30;
constexpr int walkers_prepared_per_step = 4;

class digest {
public:
    void bytes(const void* data, std::size_t size)
    {
        const auto* b = static_cast<const unsigned char*>(data);
        for (std::size_t k = 0; k < size; ++k)
            value = (value ^ b[k]) * 0x100000001B3u;
    }
    template <typename T>
    void all(const std::vector<T>& items)
    {
        if (!items.empty())
            bytes(items.data(), items.size() * sizeof(T));
    }
    unsigned long long hex() const { return static_cast<unsigned long long>(value); }

private:
    std::uint64_t value = 0xCBF29CE484222325u;
};

// The scene's colour draws: value, saturation, hue.
colour_rgba drawn_colour()
{
    colour_rgba colour{0, 0, 0, 255};
    const double v = uniform_generator();
    const double s = uniform_generator();
    const double h = uniform_generator();
    hsv_to_rgb(h, 0.5 + 0.5 * s, 0.5 + 0.5 * v, &colour.r);
    return colour;
}

bool whole_number(const char* text, unsigned long limit, unsigned long& value)
{
    char* end = nullptr;
    value = std::strtoul(text, &end, 10);
    return *text != '\0' && *text != '-' && *end == '\0' && value <= limit;
}

}  // namespace

int main(int argc, char** argv)
{
    unsigned long steps = 2880;
    unsigned long seed = 1;
    for (int a = 1; a < argc; ++a) {
        const std::string option = argv[a];
        if (option == "--steps" && a + 1 < argc && whole_number(argv[a + 1], 1000000, steps)) {
            ++a;
        } else if (option == "--seed" && a + 1 < argc && whole_number(argv[a + 1], 0xFFFFFFFFu, seed)) {
            ++a;
        } else {
            std::fprintf(stderr, "usage: orbit_comparison [--steps N] [--seed S]\n");
            return 2;
        }
    }

    seed_random_engine(static_cast<std::uint32_t>(seed));
    const plane_region plane(saver_rectangle);
    std::list<std::unique_ptr<orbit_walker>> walkers;
    for (int i = 0; i < walker_count; ++i) {
        const colour_rgba colour = drawn_colour();
        const float im = static_cast<float>(random_between(saver_rectangle.im_min, saver_rectangle.im_max));
        const float re = static_cast<float>(random_between(saver_rectangle.re_min, saver_rectangle.re_max));
        walkers.push_back(std::make_unique<orbit_walker>(plane, colour, re, im));
    }
    std::vector<std::unique_ptr<orbit_path>> paths;
    for (int attempt = 0; attempt < path_attempts; ++attempt) {
        auto path = std::make_unique<orbit_path>(drawn_colour());
        bool too_close = false;
        for (const auto& kept : paths)
            too_close = too_close || std::abs(path->start - kept->start) < 0.5f;
        if (!too_close)
            paths.push_back(std::move(path));
    }

    digest sum;
    const auto resize = [&](int width, int height) {
        for (auto& path : paths) {
            path->resize(width, height);
            sum.all(path->vertices);
            sum.all(path->colours);
        }
        for (auto& walker : walkers)
            walker->resize(width, height);
    };
    resize(1024, 768);

    orbit_picture picture;
    auto cursor = walkers.begin();
    for (unsigned long step = 1; step <= steps; ++step) {
        if (step == steps / 2)
            resize(1280, 800);
        for (auto& path : paths)
            path->advance_window();
        for (auto it = walkers.begin(); it != walkers.end();) {
            if ((*it)->update()) {
                ++it;
                continue;
            }
            if (cursor == it)
                ++cursor;
            it = walkers.erase(it);
        }
        if (step % cycle_steps != 0) {
            for (int i = 0; i < walkers_prepared_per_step && cursor != walkers.end(); ++i, ++cursor)
                (*cursor)->point.prepare_next();
        } else {
            cursor = walkers.begin();
        }

        picture.capture(paths, walkers);
        sum.all(picture.path_windows);
        // Field by field: a mark has padding, and size_t differs in size.
        for (const auto& mark : picture.walkers) {
            const auto count = static_cast<std::uint32_t>(mark.trail_count);
            sum.bytes(&mark.at, sizeof mark.at);
            sum.bytes(&mark.pulse, sizeof mark.pulse);
            sum.bytes(&count, sizeof count);
        }
        sum.all(picture.trail);
        sum.all(picture.trail_colours);
    }

    std::printf("orbits: %lu steps, %zu paths, %zu of %d walkers left\n", steps, paths.size(), walkers.size(),
                walker_count);
    std::printf("orbits: digest of the paths' and walkers' positions and colours %016llx\n", sum.hex());
    return 0;
}
