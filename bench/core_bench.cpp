// The plane's costs on the worker thread, for the reference plane and the
// project's in the same run, each the median of 7 repetitions (the scene's
// worst step: the worst of its steps' medians over 7 lives), followed by a
// table of both with their ratio.
//
// core_bench [--quick] [Google Benchmark options]
//   --quick  one repetition of one iteration each: a check that every
//            benchmark runs, not a measurement
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "plane_scenarios.h"

namespace {

using namespace scenarios;

int repetitions = 7;

// Keeps the median (or the only run) of each benchmark, in milliseconds.
class table_reporter : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal.
    table_reporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_Defaults : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool wanted = run.repetitions <= 1
                                    ? run.run_type == Run::RT_Iteration
                                    : run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (wanted && !run.error_occurred)
                milliseconds[run.run_name.function_name] =
                    run.GetAdjustedRealTime() * (run.time_unit == benchmark::kSecond ? 1000.0 : 1.0);
        }
    }

    double get(const std::string& name) const
    {
        const auto found = milliseconds.find(name);
        return found == milliseconds.end() ? 0.0 : found->second;
    }

private:
    std::map<std::string, double> milliseconds;
};

template <class Plane>
void measure_construction(benchmark::State& state)
{
    for (auto _ : state)
        state.SetIterationTime(construction<Plane>());
}

template <class Plane>
void measure_first_prepare_step(benchmark::State& state)
{
    for (auto _ : state)
        state.SetIterationTime(first_prepare_step<Plane>());
}

template <class Plane>
void measure_whole_pass_step(benchmark::State& state)
{
    // Reaching pass 96 takes a whole life: set up once per pass.
    static std::map<int, std::unique_ptr<whole_pass_step<Plane>>> steps;
    const int pass = static_cast<int>(state.range(0));
    auto& step = steps[pass];
    if (!step)
        step = std::make_unique<whole_pass_step<Plane>>(pass);
    for (auto _ : state)
        state.SetIterationTime(step->measure());
}

template <class Plane>
void measure_scene_worst_step(benchmark::State& state)
{
    for (auto _ : state) {
        const scene_worst_step_result worst = scene_worst_step<Plane>(repetitions);
        state.SetIterationTime(worst.worst_median);
        state.counters["step_number"] = worst.worst_step_number;
        state.counters["worst_single_ms"] = 1000.0 * worst.worst_single;
        state.counters["life_s"] = worst.median_life;
    }
}

template <class Plane>
void measure_whole_life(benchmark::State& state)
{
    for (auto _ : state)
        state.SetIterationTime(whole_life<Plane>());
}

void finish(benchmark::internal::Benchmark* b, int iterations, benchmark::TimeUnit unit = benchmark::kMillisecond)
{
    b->UseManualTime()->Unit(unit)->Iterations(repetitions == 1 ? 1 : iterations)->Repetitions(repetitions);
    if (repetitions > 1)
        b->ReportAggregatesOnly(true);
}

template <class Plane>
void register_plane()
{
    const std::string suffix = std::string("/") + Plane::name;
    finish(benchmark::RegisterBenchmark(("construction" + suffix).c_str(), measure_construction<Plane>), 3);
    finish(benchmark::RegisterBenchmark(("first_prepare_step" + suffix).c_str(), measure_first_prepare_step<Plane>), 5);
    for (const int pass : {1, 10, 50, 96})
        finish(benchmark::RegisterBenchmark(("whole_pass_step_" + std::to_string(pass) + suffix).c_str(),
                                            measure_whole_pass_step<Plane>)
                   ->Arg(pass),
               5);
    // Its own medians over 7 lives, step by step: one run.
    benchmark::RegisterBenchmark(("scene_worst_step" + suffix).c_str(), measure_scene_worst_step<Plane>)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
    finish(benchmark::RegisterBenchmark(("whole_life" + suffix).c_str(), measure_whole_life<Plane>), 1,
           benchmark::kSecond);
}

}  // namespace

int main(int argc, char** argv)
{
    keep_freed_memory();
    for (int a = 1; a < argc; ++a)
        if (std::strcmp(argv[a], "--quick") == 0) {
            repetitions = 1;
            for (int b = a; b + 1 < argc; ++b)
                argv[b] = argv[b + 1];
            --argc;
            break;
        }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    register_plane<reference_plane>();
    register_plane<project_plane>();
    table_reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    auto row = [&](const std::string& name, const std::string& key, const std::string& unit, double scale = 1.0,
                   double target = 0.0) {
        return figure{name, unit, reporter.get(key + "/reference") * scale, reporter.get(key + "/project") * scale,
                      target};
    };
    std::vector<figure> figures = {
        row("grid construction", "construction", "ms", 1.0, construction_target_ms),
        row("costliest prepare step", "first_prepare_step", "ms"),
    };
    for (const int pass : {1, 10, 50, 96})
        figures.push_back(
            row("whole-pass step, pass " + std::to_string(pass), "whole_pass_step_" + std::to_string(pass), "ms"));
    figures.push_back(row("scene step(), worst of a life", "scene_worst_step", "ms", 1.0, scene_step_target_ms));
    figures.push_back(row("whole life, 2880 steps", "whole_life", "s CPU", 0.001, whole_life_target_s));
    figures.push_back({"state per grid point", "bytes", bytes_per_point<reference_plane>(),
                       bytes_per_point<project_plane>(), bytes_per_point_target});
    print_figures(figures);
    return 0;
}
