#include "plane_scenarios.h"

#include <cstdio>
#include <ctime>

#include "allocation_counter.h"
#include "random/random.h"
#include "reference_scene.h"

namespace scenarios {

double seconds_since(clock::time_point start)
{
    return std::chrono::duration<double>(clock::now() - start).count();
}

double processor_seconds()
{
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

void flush_caches()
{
    static std::vector<unsigned char> scratch(64u << 20);
    static unsigned char round = 0;
    ++round;
    for (std::size_t i = 0; i < scratch.size(); i += 64)
        scratch[i] = round;
}

namespace {

constexpr std::uint32_t scene_seed = 20240611;

void step_scene(ball_camera& scene, reference::region* plane, reference::texture* texture)
{
    if (plane)
        reference_scene_step(scene, *plane, *texture);
    else
        scene.step();
}

}  // namespace

template <class Plane>
scene_life_result scene_life()
{
    seed_random_engine(scene_seed);
    // The scene's GL calls find no context here and do nothing.
    ball_camera scene(stepping::manual);
    scene.resize(1024, 768);
    std::unique_ptr<reference::region> plane;
    std::unique_ptr<reference::texture> texture;
    if constexpr (std::is_same_v<Plane, reference_plane>) {
        plane = make_region<reference_plane>();
        texture = std::make_unique<reference::texture>(*plane);
    }
    scene_life_result result{0.0, 0, 0.0};
    for (int k = 1; k <= life_steps; ++k) {
        const auto start = clock::now();
        step_scene(scene, plane.get(), texture.get());
        const double took = seconds_since(start);
        result.total += took;
        if (took > result.worst_step) {
            result.worst_step = took;
            result.worst_step_number = k;
        }
    }
    return result;
}

template <class Plane>
double bytes_per_point()
{
    const std::size_t before = allocated_bytes();
    double bytes = 0.0;
    {
        const auto region = make_region<Plane>();
        typename Plane::texture texture(*region);
        std::mutex lock;
        for (int k = 1; k <= steps_per_cycle; ++k)
            plane_step(*region, texture, lock, k);
        bytes = static_cast<double>(allocated_bytes() - before) + sizeof(typename Plane::texture);
    }
    return bytes / grid_points;
}

template scene_life_result scene_life<project_plane>();
template scene_life_result scene_life<reference_plane>();
template double bytes_per_point<project_plane>();
template double bytes_per_point<reference_plane>();

void print_figures(const std::vector<figure>& figures)
{
    std::printf("\n%-40s %12s %12s %10s\n", "figure (median)", "reference", "project", "ref/proj");
    for (const figure& f : figures) {
        const std::string label = f.name + " (" + f.unit + ")";
        std::printf("%-40s %12.3f %12.3f %9.2fx\n", label.c_str(), f.reference, f.project,
                    f.project > 0.0 ? f.reference / f.project : 0.0);
    }
    std::fflush(stdout);
}

}  // namespace scenarios
