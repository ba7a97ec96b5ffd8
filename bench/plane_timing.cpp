// The figures of core_bench without Google Benchmark, which has no Windows
// build here: each the median of 7 measurements, for the reference plane and
// the project's, then the same table. Built for every platform so that the
// Windows figures under Wine can be set beside the native ones.
//
// plane_timing [--quick]
//   --quick  one measurement each: a check that everything runs
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

#include "plane_scenarios.h"

namespace {

using namespace scenarios;

int samples = 7;

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
    figure f{name, unit, scale * median_of(reference), scale * median_of(project)};
    std::printf("%-40s reference %10.3f  project %10.3f  %s\n", name.c_str(), f.reference, f.project, unit.c_str());
    std::fflush(stdout);
    return f;
}

}  // namespace

int main(int argc, char** argv)
{
    for (int a = 1; a < argc; ++a) {
        if (std::strcmp(argv[a], "--quick") == 0) {
            samples = 1;
        } else {
            std::fprintf(stderr, "usage: plane_timing [--quick]\n");
            return 2;
        }
    }

    std::vector<figure> figures;
    figures.push_back(
        measured("grid construction", "ms", construction<reference_plane>, construction<project_plane>));
    figures.push_back(measured("costliest prepare step", "ms", first_prepare_step<reference_plane>,
                               first_prepare_step<project_plane>));
    for (const int pass : {1, 10, 50, 96}) {
        whole_pass_step<reference_plane> reference(pass);
        whole_pass_step<project_plane> project(pass);
        figures.push_back(measured("whole-pass step, pass " + std::to_string(pass), "ms",
                                   [&] { return reference.measure(); }, [&] { return project.measure(); }));
    }
    // Its own medians over the lives, step by step.
    const scene_worst_step_result reference_scene = scene_worst_step<reference_plane>(samples);
    const scene_worst_step_result project_scene = scene_worst_step<project_plane>(samples);
    figures.push_back({"scene step(), worst of a life", "ms", 1000.0 * reference_scene.worst_median,
                       1000.0 * project_scene.worst_median});
    std::printf("%-40s reference %10.3f  project %10.3f  ms (steps %d and %d; slowest single steps %.3f and %.3f ms)\n",
                figures.back().name.c_str(), figures.back().reference, figures.back().project,
                reference_scene.worst_step_number, project_scene.worst_step_number,
                1000.0 * reference_scene.worst_single, 1000.0 * project_scene.worst_single);
    figures.push_back(measured("whole life, 2880 steps", "s CPU", whole_life<reference_plane>,
                               whole_life<project_plane>, 1.0));
    figures.push_back({"state per grid point", "bytes", bytes_per_point<reference_plane>(),
                       bytes_per_point<project_plane>()});
    print_figures(figures);
#ifdef _WIN32
    std::printf("(the Windows C library's clock() counts wall time: the whole life is in wall seconds)\n");
#endif
    return 0;
}
