// What the benchmarks measure, for the reference plane and the project's
// alike: each measure() sets up untimed and returns the seconds of the one
// thing it measures.
#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>
#include <vector>

#include "plane/plane_region.h"
#include "plane/plane_texture.h"
#include "reference_plane.h"
#include "scene/ball_camera.h"

namespace scenarios {

struct project_plane {
    using region = plane_region;
    using texture = plane_texture;
    static constexpr const char* name = "project";
};

struct reference_plane {
    using region = reference::region;
    using texture = reference::texture;
    static constexpr const char* name = "reference";
};

constexpr int steps_per_cycle = ball_camera::cycle_steps;
constexpr int life_steps = steps_per_cycle * plane_region::max_passes;
constexpr double grid_points = 680.0 * 510.0;

using clock = std::chrono::steady_clock;

// Keeps memory the process frees for its next allocations (glibc), so that
// a measurement costs what the plane computes and not the first touch of
// fresh pages, which a fresh process pays once at start-up. Call first.
void keep_freed_memory();

double seconds_since(clock::time_point start);
// Processor time of the process where the C library keeps it (glibc); the
// Windows C library gives wall time instead.
double processor_seconds();
// Writes a buffer larger than the caches, so that a measurement starts with
// the plane's state out of cache, as after the worker's sleep.
void flush_caches();

template <class Plane>
std::unique_ptr<typename Plane::region> make_region()
{
    return std::make_unique<typename Plane::region>(
        static_cast<float>(saver_rectangle.re_min), static_cast<float>(saver_rectangle.im_min),
        static_cast<float>(saver_rectangle.re_max), static_cast<float>(saver_rectangle.im_max));
}

// Step number k (from 1) of the plane's life, as the scene makes it.
template <class Region, class Texture>
void plane_step(Region& region, Texture& texture, std::mutex& lock, int k)
{
    const int phase = k % steps_per_cycle;
    if (phase != 0) {
        region.prepare_pass(phase / static_cast<double>(ball_camera::prepare_steps));
        if constexpr (std::is_same_v<Texture, plane_texture>)
            texture.compose_ahead();
    } else {
        region.advance_pass();
        recolour_handing_over(texture, lock);
    }
}

// The grid's construction.
template <class Plane>
double construction()
{
    flush_caches();
    const auto start = clock::now();
    const auto region = make_region<Plane>();
    return seconds_since(start);
}

// The costliest prepare step: the first, on a fresh grid, where every point
// is live and none has settled.
template <class Plane>
double first_prepare_step()
{
    const auto region = make_region<Plane>();
    flush_caches();
    const auto start = clock::now();
    region->prepare_pass(1.0 / ball_camera::prepare_steps);
    return seconds_since(start);
}

// The whole-pass step (advance_pass, then recolour) that makes whole pass
// `pass`, each time from the same prepared state.
template <class Plane>
class whole_pass_step {
public:
    explicit whole_pass_step(int pass) : region(make_region<Plane>()), texture(*region)
    {
        for (int k = 1; k < pass * steps_per_cycle; ++k)
            plane_step(*region, texture, lock, k);
        prepared = std::make_unique<typename Plane::region>(*region);
        prepared_texture = std::make_unique<typename Plane::texture>(texture);
    }

    double measure()
    {
        *region = *prepared;
        texture = *prepared_texture;
        flush_caches();
        const auto start = clock::now();
        region->advance_pass();
        recolour_handing_over(texture, lock);
        return seconds_since(start);
    }

private:
    std::unique_ptr<typename Plane::region> region;
    typename Plane::texture texture;
    std::unique_ptr<typename Plane::region> prepared;
    std::unique_ptr<typename Plane::texture> prepared_texture;
    std::mutex lock;
};

// The grid's whole life, 2,880 steps, in processor seconds.
template <class Plane>
double whole_life()
{
    const auto region = make_region<Plane>();
    typename Plane::texture texture(*region);
    std::mutex lock;
    const double start = processor_seconds();
    for (int k = 1; k <= life_steps; ++k)
        plane_step(*region, texture, lock, k);
    return processor_seconds() - start;
}

// The worst step() of the scene's life with 128 walkers and the paths, from
// the same seed each time: each of the 2,880 steps is timed in each of
// `lives` lives, and the worst of the steps' medians is reported, so that a
// step interrupted once by the rest of the machine does not count as the
// scene's worst.
struct scene_worst_step_result {
    double worst_median;    // seconds
    int worst_step_number;  // 1 to 2,880
    double worst_single;    // the slowest single step of all lives
    double median_life;     // seconds of a whole life, median
};

template <class Plane>
scene_worst_step_result scene_worst_step(int lives);

// Bytes per grid point held by the region and its texture, counted through
// operator new after a first cycle.
template <class Plane>
double bytes_per_point();

// One line of the summary table: a figure for both planes, and the most
// the project's may be (0: no target).
struct figure {
    std::string name;
    std::string unit;
    double reference;
    double project;
    double target = 0.0;
};

// The targets: natively, and for the whole life under Wine, where the
// Windows maths library is slower.
constexpr double construction_target_ms = 15.0;
constexpr double scene_step_target_ms = 1.5;
constexpr double whole_life_target_s = 0.5;
constexpr double whole_life_wine_target_s = 0.75;
constexpr double bytes_per_point_target = 58.0;

void print_figures(const std::vector<figure>& figures);

}  // namespace scenarios
