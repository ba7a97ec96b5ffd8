#include "plane_scenarios.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "allocation_counter.h"
#include "random/random.h"
#include "reference_scene.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif
#ifdef _WIN32
#include <windows.h>
#endif

namespace scenarios {

void keep_freed_memory()
{
#ifdef __GLIBC__
    // The grid's largest arrays are below glibc's highest mmap threshold.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
}

double seconds_since(clock::time_point start)
{
    return std::chrono::duration<double>(clock::now() - start).count();
}

double processor_seconds()
{
#ifdef _WIN32
    // The Windows C library's clock() counts wall time; the thread's own
    // user and kernel time is what a loaded machine does not inflate.
    FILETIME created, ended, kernel, user;
    if (GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user)) {
        auto seconds = [](const FILETIME& t) {
            return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) *
                   1e-7;
        };
        return seconds(kernel) + seconds(user);
    }
#endif
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

namespace {

// Seconds of each of the 2,880 steps of one life of the scene.
template <class Plane>
std::vector<double> scene_life()
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
    std::vector<double> seconds;
    seconds.reserve(life_steps);
    for (int k = 1; k <= life_steps; ++k) {
        const auto start = clock::now();
        step_scene(scene, plane.get(), texture.get());
        seconds.push_back(seconds_since(start));
    }
    return seconds;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

template <class Plane>
scene_worst_step_result scene_worst_step(int lives)
{
    std::vector<std::vector<double>> steps(static_cast<std::size_t>(life_steps));
    std::vector<double> life_totals;
    scene_worst_step_result result{0.0, 0, 0.0, 0.0};
    for (int life = 0; life < lives; ++life) {
        const std::vector<double> seconds = scene_life<Plane>();
        double total = 0.0;
        for (std::size_t k = 0; k < seconds.size(); ++k) {
            steps[k].push_back(seconds[k]);
            total += seconds[k];
            result.worst_single = std::max(result.worst_single, seconds[k]);
        }
        life_totals.push_back(total);
    }
    for (std::size_t k = 0; k < steps.size(); ++k) {
        const double step_median = median(steps[k]);
        if (step_median > result.worst_median) {
            result.worst_median = step_median;
            result.worst_step_number = static_cast<int>(k) + 1;
        }
    }
    result.median_life = median(life_totals);
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

template scene_worst_step_result scene_worst_step<project_plane>(int lives);
template scene_worst_step_result scene_worst_step<reference_plane>(int lives);
template double bytes_per_point<project_plane>();
template double bytes_per_point<reference_plane>();

void print_figures(const std::vector<figure>& figures)
{
    std::printf("\n%-40s %12s %12s %10s %10s\n", "figure (median)", "reference", "project", "ref/proj", "target");
    for (const figure& f : figures) {
        if (f.reference == 0.0 && f.project == 0.0)
            continue;  // not run
        const std::string label = f.name + " (" + f.unit + ")";
        char target[32] = "";
        if (f.target > 0.0)
            std::snprintf(target, sizeof target, "<= %.3g %s", f.target, f.project <= f.target ? "met" : "MISSED");
        std::printf("%-40s %12.3f %12.3f %9.2fx   %s\n", label.c_str(), f.reference, f.project,
                    f.project > 0.0 ? f.reference / f.project : 0.0, target);
    }
    std::fflush(stdout);
}

}  // namespace scenarios
