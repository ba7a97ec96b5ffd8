// The figures of core_bench without Google Benchmark, which has no Windows
// build here: each the median of 7 measurements, for the reference plane and
// the project's, then the same table. Built for every platform so that the
// Windows figures under Wine can be set beside the native ones.
//
// plane_timing [--quick] [--project]
//   --quick    one measurement each: a check that everything runs
//   --project  the project's plane only (the reference's figures show 0)
//
// It also prints what one call of each maths function the plane uses costs
// here, as the Windows library's costs explain its figures.
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstring>
#include <functional>

#include "plane_scenarios.h"

namespace {

using namespace scenarios;

int samples = 7;
bool project_only = false;

#if defined(__i386__) && !defined(__SSE_MATH__)
// The 32-bit build on the SSE unit, before the saver moved to the x87 unit
// only: its worst scene step and whole life under Wine's WoW64, as
// plane_timing measured them on the project's shared build machine, loaded,
// in the last round that built it (ranges of three runs).
constexpr double sse_build_worst_step_ms[2] = {3.0, 3.5};
constexpr double sse_build_whole_life_s[2] = {1.02, 1.17};
constexpr double x87_whole_life_target_s = 1.0;
#endif

double median_of(const std::function<double()>& measure)
{
    std::vector<double> values;
    for (int n = 0; n < samples; ++n)
        values.push_back(measure());
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

figure measured(const std::string& name, const std::string& unit, const std::function<double()>& reference,
                const std::function<double()>& project, double scale = 1000.0)
{
    figure f{name, unit, project_only ? 0.0 : scale * median_of(reference), scale * median_of(project)};
    std::printf("%-40s reference %10.3f  project %10.3f  %s\n", name.c_str(), f.reference, f.project, unit.c_str());
    std::fflush(stdout);
    return f;
}

// Nanoseconds per call of f over values like the grid's first iterates.
template <class Function>
double nanoseconds_per_call(Function f)
{
    std::vector<complex_f> values;
    for (int n = 0; n < 4096; ++n) {
        const complex_f c(-2.1f + 2.9f * static_cast<float>(n % 64) / 64.0f,
                          -1.2f + 2.4f * static_cast<float>(n / 64) / 64.0f);
        values.push_back(square(c) + c);
    }
    return median_of([&] {
               volatile float sink = 0.0f;
               const auto start = clock::now();
               for (int round = 0; round < 50; ++round)
                   for (const complex_f& w : values)
                       sink = sink + f(w);
               return seconds_since(start);
           }) *
           1e9 / (50.0 * static_cast<double>(values.size()));
}

void print_maths_costs()
{
    const complex_f divisor(0.7f, -0.4f);
    std::printf("maths library, ns per call: complex log %.1f, complex division %.1f, complex modulus %.1f, "
                "acos %.1f, log %.1f, sqrt %.1f\n",
                nanoseconds_per_call([](complex_f w) { return std::log(w).real(); }),
                nanoseconds_per_call([&](complex_f w) { return (w / divisor).real(); }),
                nanoseconds_per_call([](complex_f w) { return std::abs(w); }), nanoseconds_per_call([](complex_f w) {
                    return static_cast<float>(std::acos(static_cast<double>(w.real()) / 8.0));
                }),
                nanoseconds_per_call([](complex_f w) {
                    return static_cast<float>(std::log(std::fabs(static_cast<double>(w.real())) + 0.01));
                }),
                nanoseconds_per_call([](complex_f w) {
                    return static_cast<float>(std::sqrt(std::fabs(static_cast<double>(w.real()))));
                }));
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    keep_freed_memory();
    for (int a = 1; a < argc; ++a) {
        if (std::strcmp(argv[a], "--quick") == 0) {
            samples = 1;
        } else if (std::strcmp(argv[a], "--project") == 0) {
            project_only = true;
        } else {
            std::fprintf(stderr, "usage: plane_timing [--quick] [--project]\n");
            return 2;
        }
    }

    print_maths_costs();
    std::vector<figure> figures;
    figures.push_back(measured("grid construction", "ms", construction<reference_plane>, construction<project_plane>));
    figures.back().target = construction_target_ms;
    figures.push_back(measured("costliest prepare step", "ms", first_prepare_step<reference_plane>,
                               first_prepare_step<project_plane>));
    for (const int pass : {1, 10, 50, 96}) {
        whole_pass_step<reference_plane> reference(pass);
        whole_pass_step<project_plane> project(pass);
        figures.push_back(measured(
            "whole-pass step, pass " + std::to_string(pass), "ms", [&] { return reference.measure(); },
            [&] { return project.measure(); }));
    }
    // Its own medians over the lives, step by step.
    const scene_worst_step_result reference_scene =
        project_only ? scene_worst_step_result{0.0, 0, 0.0, 0.0} : scene_worst_step<reference_plane>(samples);
    const scene_worst_step_result project_scene = scene_worst_step<project_plane>(samples);
    figures.push_back({"scene step(), worst of a life", "ms", 1000.0 * reference_scene.worst_median,
                       1000.0 * project_scene.worst_median, scene_step_target_ms});
    std::printf("%-40s reference %10.3f  project %10.3f  ms (steps %d and %d; slowest single steps %.3f and %.3f ms)\n",
                figures.back().name.c_str(), figures.back().reference, figures.back().project,
                reference_scene.worst_step_number, project_scene.worst_step_number,
                1000.0 * reference_scene.worst_single, 1000.0 * project_scene.worst_single);
    figures.push_back(
        measured("whole life, 2880 steps", "s CPU", whole_life<reference_plane>, whole_life<project_plane>, 1.0));
    const double whole_life_s = figures.back().project;
#ifdef _WIN32
    figures.back().target = whole_life_wine_target_s;
#else
    figures.back().target = whole_life_target_s;
#endif
    figures.push_back({"state per grid point", "bytes", bytes_per_point<reference_plane>(),
                       bytes_per_point<project_plane>(), bytes_per_point_target});
    print_figures(figures);
#if defined(__i386__) && !defined(__SSE_MATH__)
    std::printf("\nthe x87 build against the former SSE build (32-bit) and the targets:\n"
                "  scene step(), worst of a life  %8.3f ms    SSE build %.1f-%.1f ms    target <= %.1f ms\n"
                "  whole life, 2880 steps         %8.3f s CPU SSE build %.2f-%.2f s     target <= %.1f s\n",
                project_scene.worst_median * 1000.0, sse_build_worst_step_ms[0], sse_build_worst_step_ms[1],
                scene_step_target_ms, whole_life_s, sse_build_whole_life_s[0], sse_build_whole_life_s[1],
                x87_whole_life_target_s);
#else
    (void)whole_life_s;
#endif
    return 0;
}
