// A digest of the orbit objects through one life of a fixed scene: every
// walker's iterated point, disc and trail, and every path's vertices and
// drawing window, after each orbit step. The plane comparison does not
// reach them; this lets builds with different compilers, maths libraries and
// floating-point units (native, 64-bit and 32-bit Windows, 32-bit Linux) be
// compared with each other bit for bit.
//
// orbit_digest [--steps N] [--expect HEX]
//   --steps N     orbit steps to take (default: one life, 2,880)
//   --expect HEX  fail unless the digest is HEX
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "random/random.h"
#include "scene/ball_camera.h"

namespace {

constexpr std::uint32_t scene_seed = 20240611;

// FNV-1a over the bytes of plain values.
class digest {
public:
    template <class T>
    void fold(const T* values, std::size_t count)
    {
        const auto* bytes = reinterpret_cast<const unsigned char*>(values);
        for (std::size_t i = 0; i < count * sizeof(T); ++i)
            value = (value ^ bytes[i]) * 0x100000001B3u;
    }
    template <class T>
    void fold(const T& one)
    {
        fold(&one, 1);
    }

    std::uint64_t value = 0xCBF29CE484222325u;
};

void fold_orbits(const ball_camera& scene, digest& d)
{
    const orbit_picture& picture = scene.orbits_drawn;
    d.fold(picture.path_windows.data(), picture.path_windows.size());
    for (const auto& mark : picture.walkers) {
        d.fold(mark.at);
        d.fold(mark.pulse);
    }
    d.fold(picture.trail.data(), picture.trail.size());
    d.fold(picture.trail_colours.data(), picture.trail_colours.size());
    for (const auto& walker : scene.walkers)
        d.fold(walker->point);
}

}  // namespace

int main(int argc, char** argv)
{
    long steps = 2880;
    const char* expected = nullptr;
    for (int a = 1; a < argc; ++a) {
        const std::string option = argv[a];
        if (option == "--steps" && a + 1 < argc) {
            char* end = nullptr;
            steps = std::strtol(argv[++a], &end, 10);
            if (*end != '\0' || steps < 0 || steps > 1000000) {
                std::fprintf(stderr, "--steps needs a whole number from 0 to 1000000\n");
                return 2;
            }
        } else if (option == "--expect" && a + 1 < argc) {
            expected = argv[++a];
        } else {
            std::fprintf(stderr, "usage: orbit_digest [--steps N] [--expect HEX]\n");
            return 2;
        }
    }

    seed_random_engine(scene_seed);
    // The scene's GL calls find no context here and do nothing; the plane
    // is left alone, the orbit objects do not read it.
    ball_camera scene(stepping::manual);
    scene.resize(1024, 768);
    digest d;
    for (const auto& path : scene.paths) {
        d.fold(path->vertices.data(), path->vertices.size());
        d.fold(path->colours.data(), path->colours.size());
    }
    for (long k = 0; k < steps; ++k) {
        scene.step_orbits(scene.next_phase());
        scene.orbits_drawn.capture(scene.paths, scene.walkers);
        fold_orbits(scene, d);
    }

    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(d.value));
    std::printf("orbits: %ld steps, %zu paths, %zu walkers left: digest %s\n", steps, scene.paths.size(),
                scene.walkers.size(), text);
    if (expected && std::strcmp(expected, text) != 0) {
        std::printf("FAILED: the digest should be %s\n", expected);
        return 1;
    }
    return 0;
}
