// Costs of the plane's work on the worker thread.
#include <benchmark/benchmark.h>

#include <memory>

#include "plane/plane_region.h"
#include "plane/plane_texture.h"

namespace {

std::unique_ptr<plane_region> make_region()
{
    return std::make_unique<plane_region>(-2.1f, -1.2f, 0.8f, 1.2f);
}

// One cycle of 30 steps as the worker runs it.
void run_cycle(plane_region& region, plane_texture& texture)
{
    for (int phase = 1; phase <= 29; ++phase)
        region.prepare_pass(phase / 29.0);
    region.advance_pass();
    texture.recolour();
}

void region_construction(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(make_region());
}
BENCHMARK(region_construction)->Unit(benchmark::kMillisecond);

// The costliest prepare step: the first of a cycle, on a fresh grid.
void first_prepare_pass(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto region = make_region();
        state.ResumeTiming();
        region->prepare_pass(1.0 / 29.0);
    }
}
BENCHMARK(first_prepare_pass)->Unit(benchmark::kMillisecond);

// The whole-pass step (advance_pass, then recolour) at a given pass.
void whole_pass_step(benchmark::State& state)
{
    const int pass = static_cast<int>(state.range(0));
    auto region = make_region();
    plane_texture texture(*region);
    for (int i = 1; i < pass; ++i)
        run_cycle(*region, texture);
    for (int phase = 1; phase <= 29; ++phase)
        region->prepare_pass(phase / 29.0);
    const plane_region prepared = *region;
    for (auto _ : state) {
        state.PauseTiming();
        *region = prepared;
        state.ResumeTiming();
        region->advance_pass();
        texture.recolour();
    }
}
BENCHMARK(whole_pass_step)->Arg(1)->Arg(10)->Arg(50)->Arg(96)->Unit(benchmark::kMillisecond);

// The grid's whole life: 96 cycles of 30 steps.
void whole_life(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto region = make_region();
        plane_texture texture(*region);
        state.ResumeTiming();
        for (int cycle = 0; cycle < plane_region::max_passes; ++cycle)
            run_cycle(*region, texture);
    }
}
BENCHMARK(whole_life)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

}  // namespace

BENCHMARK_MAIN();
