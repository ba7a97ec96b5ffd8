#include "frame_pace.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "gl.h"
#include "random/random.h"
#include "scene/ball_camera.h"
#include "scene/frame.h"
#include "scene/worker.h"

namespace {

// The saver's pace: a whole pass every 30 steps of 50 ms.
constexpr double pass_interval_s = 1.5;
constexpr int first_timed_pass = 8;
constexpr int last_timed_pass = 30;

double seconds_between(std::int64_t from_us, std::int64_t to_us)
{
    return static_cast<double>(to_us - from_us) / 1e6;
}

}  // namespace

bool parse_pace_run(int argc, char** argv, pace_run& run, std::string& error)
{
    for (int a = 1; a < argc; ++a) {
        const bool has_value = a + 1 < argc;
        if (std::strcmp(argv[a], "--seconds") == 0 && has_value) {
            run.seconds = std::atof(argv[++a]);
        } else if (std::strcmp(argv[a], "--seed") == 0 && has_value) {
            run.seed = static_cast<std::uint32_t>(std::strtoul(argv[++a], nullptr, 10));
        } else if (std::sscanf(argv[a], "%dx%d", &run.width, &run.height) == 2 && run.width > 0 && run.height > 0) {
        } else {
            error = std::string("unexpected argument: ") + argv[a];
            return false;
        }
    }
    if (!(run.seconds > 0.0)) {
        error = "--seconds wants a positive number";
        return false;
    }
    return true;
}

pace_figures measure_pace(const pace_run& run, const std::function<void()>& present,
                          const std::function<double()>& process_cpu_seconds)
{
    pace_figures figures;
    std::vector<double> frame_ms;
    seed_random_engine(run.seed);
    const std::int64_t start = monotonic_microseconds();
    const double cpu_at_start = process_cpu_seconds();
    // CPU time read at 20, 40 and 60 s.
    double cpu_at[3] = {-1.0, -1.0, -1.0};
    ball_camera scene(stepping::worker_thread);
    reshape(run.width, run.height, scene);

    std::int64_t next_frame = start;
    for (;;) {
        const std::int64_t now = monotonic_microseconds();
        const double elapsed = seconds_between(start, now);
        for (int mark = 0; mark < 3; ++mark)
            if (cpu_at[mark] < 0.0 && elapsed >= 20.0 * (mark + 1))
                cpu_at[mark] = process_cpu_seconds();
        if (elapsed >= run.seconds)
            break;
        if (now < next_frame) {
            sleep_milliseconds(static_cast<int>((next_frame - now + 999) / 1000));
            continue;
        }
        // A raised flag is a new whole pass that this frame uploads; passes
        // come 1.5 s apart, so no two meet in one frame.
        bool new_pass = false;
        {
            std::lock_guard<scene_lock> guard(scene.lock);
            new_pass = scene.texture.pixels_changed;
        }
        const std::int64_t frame_start = monotonic_microseconds();
        render_frame(scene, run.kept);
        glFinish();
        frame_ms.push_back(seconds_between(frame_start, monotonic_microseconds()) * 1000.0);
        present();
        if (new_pass)
            figures.pass_seen_at.push_back(seconds_between(start, frame_start));
        next_frame += frame_period_ms * 1000;
        // After a stall, keep the period instead of catching up.
        const std::int64_t after = monotonic_microseconds();
        if (next_frame < after)
            next_frame = after + frame_period_ms * 1000;
    }
    scene.stop_worker();

    const auto percent = [](double from, double to) {
        return from < 0.0 || to < 0.0 ? -1.0 : 100.0 * (to - from) / 20.0;
    };
    figures.early_cpu_percent = percent(cpu_at_start, cpu_at[0]);
    figures.late_cpu_percent = percent(cpu_at[1], cpu_at[2]);
    figures.frames = static_cast<int>(frame_ms.size());
    if (!frame_ms.empty()) {
        std::nth_element(frame_ms.begin(), frame_ms.begin() + static_cast<std::ptrdiff_t>(frame_ms.size() / 2),
                         frame_ms.end());
        figures.frame_ms = frame_ms[frame_ms.size() / 2];
    }
    return figures;
}

void print_pace(const pace_run& run, const pace_figures& figures)
{
    const std::vector<double>& seen = figures.pass_seen_at;
    std::printf("frames at %dx%d, seed %u, %.0f s, %s: %d frames, median frame %.2f ms to glFinish\n", run.width,
                run.height, run.seed, run.seconds,
                run.kept == buffer_holds::last_frame ? "drawn over the last" : "drawn whole", figures.frames,
                figures.frame_ms);
    if (seen.size() > first_timed_pass)
        std::printf("  %-36s %8.2f s    target %.1f +- 10 %%\n", "time to pass 8", seen[first_timed_pass],
                    first_timed_pass * pass_interval_s);
    else
        std::printf("  %-36s not reached (%zu passes seen)\n", "time to pass 8", seen.size());
    const std::size_t last = std::min<std::size_t>(seen.size() - (seen.empty() ? 0 : 1), last_timed_pass);
    if (last > first_timed_pass)
        std::printf("  %-36s %8.3f s    target %.1f +- 10 %%\n",
                    ("mean pass interval, passes 8-" + std::to_string(last)).c_str(),
                    (seen[last] - seen[first_timed_pass]) / static_cast<double>(last - first_timed_pass),
                    pass_interval_s);
    if (figures.early_cpu_percent >= 0.0)
        std::printf("  %-36s %8.1f %% of a core\n", "process CPU, seconds 0-20", figures.early_cpu_percent);
    // The frames' share has its target at 1280 x 800 only.
    const bool target_size = run.width == 1280 && run.height == 800;
    if (figures.late_cpu_percent >= 0.0)
        std::printf("  %-36s %8.1f %% of a core%s\n", "process CPU, seconds 40-60", figures.late_cpu_percent,
                    target_size ? "    target <= 25" : "");
    std::fflush(stdout);
}
