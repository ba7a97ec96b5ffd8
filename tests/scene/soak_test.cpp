// A long unattended run: the scene stepped without pacing for 100,000 steps,
// about 83 minutes of saver time, with real frames drawn along the way; and
// the counters of a run of years.
#include <gtest/gtest.h>

#include <malloc.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "gl.h"
#include "leak_check.h"
#include "random/random.h"
#include "render/egl_context.h"
#include "scene/ball_camera.h"
#include "scene/frame.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The sanitizers' runtime exports it; GCC ships no header that declares it.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

// A small window: the soak is about what the scene does over time, and the
// pixel tests look at full-sized pictures.
constexpr int window_width = 320;
constexpr int window_height = 240;

constexpr int soak_steps = 100000;
// Prime, so that the frames meet every phase of the 30-step cycle and of the
// walkers' 60-tick pulse.
constexpr int frame_every = 97;
// The grid's last whole pass is step 96 * 30; memory is measured from a
// little later, once every cache the frames fill has been filled.
constexpr int grid_limit_step = plane_region::max_passes * ball_camera::cycle_steps;
constexpr int baseline_step = grid_limit_step + 1000;

std::unique_ptr<egl_context> context;

// Bytes the program holds from the allocator (the sanitizers' own count
// where they replace it, so that their quarantine does not count).
std::size_t heap_in_use()
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return __sanitizer_get_current_allocated_bytes();
#else
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
#endif
}

// A "Vm...:" line of /proc/self/status, in kB.
long status_kb(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, field.size() + 1, field + ":") == 0)
            return std::stol(line.substr(field.size() + 1));
    return -1;
}

bool finite(vertex2f v)
{
    return std::isfinite(v.x) && std::isfinite(v.y);
}

bool finite(complex_f w)
{
    return std::isfinite(w.real()) && std::isfinite(w.imag());
}

// Whether an orbit of n whole steps from c meets a ratio that is not a
// number: the one way a walker's or path's sampled positions can become
// non-finite (the interpolation's power of a ratio at z = 1).
bool orbit_has_non_finite_ratio(complex_f c, int steps)
{
    iterated_point point{};
    point.init_at(c);
    for (int i = 0; i < steps; ++i) {
        if (!finite(point.ratio))
            return true;
        point.advance();
    }
    return !finite(point.ratio);
}

bool is_subsequence(const std::vector<const orbit_walker*>& part, const std::vector<const orbit_walker*>& whole)
{
    auto at = whole.begin();
    for (const orbit_walker* walker : part) {
        at = std::find(at, whole.end(), walker);
        if (at == whole.end())
            return false;
        ++at;
    }
    return true;
}

struct soak_record {
    long frames = 0;
    long non_finite_vertices = 0;
    std::size_t walkers_at_start = 0;
    std::size_t walkers_at_end = 0;
    std::size_t heap_at_baseline = 0;
    std::size_t heap_peak_after_baseline = 0;
    long rss_at_baseline_kb = 0;
    long rss_peak_after_baseline_kb = 0;
};

// What the scene must be after every step; empty when it is. Runs on the
// stepping thread, under the scene's lock.
class scene_checker {
public:
    explicit scene_checker(const ball_camera& scene) : path_count(scene.paths.size())
    {
        for (const auto& walker : scene.walkers)
            previous.push_back(walker.get());
    }

    std::string check(const ball_camera& scene, int step, long& non_finite_vertices)
    {
        std::ostringstream problem;
        if (scene.step_count != step)
            problem << "step count " << scene.step_count;

        // Walkers only leave: the list is what it was, less some, in order.
        std::vector<const orbit_walker*> current;
        for (const auto& walker : scene.walkers)
            current.push_back(walker.get());
        if (!is_subsequence(current, previous))
            problem << "a walker appeared or moved; ";
        previous.swap(current);

        // The cursor designates a walker of the list, or its end.
        bool cursor_valid = scene.walker_cursor == scene.walkers.end();
        for (auto it = scene.walkers.begin(); !cursor_valid && it != scene.walkers.end(); ++it)
            cursor_valid = it == scene.walker_cursor;
        if (!cursor_valid)
            problem << "the walker cursor is lost; ";

        // Paths never leave, and every drawing window lies inside its arrays.
        if (scene.paths.size() != path_count)
            problem << "paths " << scene.paths.size() << "; ";
        for (const auto& path : scene.paths) {
            const bool inside = path->first >= 0 && path->first % 3 == 0 && path->shown >= 3 &&
                                path->shown <= path->tail_length &&
                                static_cast<std::size_t>(path->first + path->shown) <= path->vertices.size() &&
                                path->colour_first >= 0 && path->colour_first + path->shown == path->tail_length &&
                                static_cast<std::size_t>(path->colour_first + path->shown) <= path->colours.size();
            if (!inside)
                problem << "path window first " << path->first << " shown " << path->shown << " colour_first "
                        << path->colour_first << " of " << path->vertices.size() << "; ";
        }

        for (const auto& walker : scene.walkers) {
            if (walker->trail.empty() || walker->trail.size() > walker->trail_colours.size())
                problem << "trail of " << walker->trail.size() << "; ";
            // The pulse table is indexed by ticks mod 60.
            if (walker->ticks < 0)
                problem << "ticks " << walker->ticks << "; ";
            // The step's two new positions; older ones were checked when new.
            // Only a ratio that is not a number (z = 1) may make them
            // non-finite, and the marker at c never is.
            for (std::size_t i = 0; i < 2 && i < walker->trail.size(); ++i)
                if (!finite(walker->trail[i])) {
                    if (finite(walker->point.ratio))
                        problem << "walker from " << walker->point.start << " went non-finite; ";
                    ++non_finite_vertices;
                }
            if (!finite(walker->pixel_position(walker->point.start)))
                problem << "marker of walker from " << walker->point.start << " is not finite; ";
        }
        return problem.str();
    }

private:
    std::vector<const orbit_walker*> previous;
    std::size_t path_count;
};

}  // namespace

// As in the saver, one thread steps the scene while the window thread draws
// it, here without the pacing; the frames are spaced by the step count.
TEST(soak, hundred_thousand_steps_keep_lists_windows_vertices_and_memory_sound)
{
    seed_random_engine(20261208);
    auto scene = std::make_unique<ball_camera>(stepping::manual);
    reshape(window_width, window_height, *scene);
    soak_record record;

    // A path's vertices are fixed once it is sized: only a path whose orbit
    // meets a ratio that is not a number may hold non-finite ones.
    for (const auto& path : scene->paths) {
        const auto bad =
            std::count_if(path->vertices.begin(), path->vertices.end(), [](vertex2f v) { return !finite(v); });
        if (bad != 0) {
            ASSERT_TRUE(orbit_has_non_finite_ratio(path->start, path->path_length / orbit_path::samples_per_step))
                << "path from " << path->start << " holds " << bad << " non-finite vertices";
        }
        record.non_finite_vertices += bad;
    }
    for (const auto& walker : scene->walkers)
        ASSERT_TRUE(finite(walker->trail[0]));
    record.walkers_at_start = scene->walkers.size();
    const std::size_t path_count = scene->paths.size();

    std::atomic<int> steps_done{0};
    // The step after which the last frame was drawn: the stepping keeps
    // within two frames of it, so that a frame comes about every 97 steps.
    std::atomic<int> frame_step{0};
    std::atomic<bool> failed{false};
    std::string failure;
    long non_finite_vertices = 0;
    std::thread stepping_thread([&] {
        scene_checker checker(*scene);
        for (int step = 1; step <= soak_steps && !failed; ++step) {
            while (step > frame_step + 2 * frame_every && !failed)
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            scene->step();
            std::string problem;
            {
                std::lock_guard<scene_lock> guard(scene->lock);
                problem = checker.check(*scene, step, non_finite_vertices);
            }
            if (!problem.empty()) {
                failure = "step " + std::to_string(step) + ": " + problem;
                failed = true;
                return;
            }
            steps_done = step;
        }
    });

    bool baseline_taken = false;
    int next_frame = frame_every;
    int next_sample = baseline_step + 1000;
    while (steps_done < soak_steps && !failed) {
        const int done = steps_done;
        if (!baseline_taken && done >= baseline_step) {
            record.heap_at_baseline = heap_in_use();
            record.rss_at_baseline_kb = status_kb("VmRSS");
            baseline_taken = true;
        } else if (baseline_taken && done >= next_sample) {
            record.heap_peak_after_baseline = std::max(record.heap_peak_after_baseline, heap_in_use());
            record.rss_peak_after_baseline_kb = std::max(record.rss_peak_after_baseline_kb, status_kb("VmRSS"));
            next_sample += 1000;
        }
        if (done < next_frame) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            continue;
        }
        render_frame(*scene);
        glFinish();
        ++record.frames;
        frame_step = done;
        next_frame = done + frame_every;
        if (glGetError() != GL_NO_ERROR) {
            failed = true;
            ADD_FAILURE() << "GL error in the frame after step " << done;
        }
    }
    stepping_thread.join();
    ASSERT_TRUE(failure.empty()) << failure;
    ASSERT_FALSE(failed);
    record.walkers_at_end = scene->walkers.size();
    record.non_finite_vertices += non_finite_vertices;

    EXPECT_EQ(scene->plane.pass_count, plane_region::max_passes);
    // Flat: after the grid's limit nothing is allocated for good. A little
    // slack for the allocator's and the driver's own bookkeeping.
    EXPECT_LE(record.heap_peak_after_baseline, record.heap_at_baseline + 256 * 1024);
#if !defined(__SANITIZE_ADDRESS__)
    // (AddressSanitizer keeps freed memory in quarantine, so its resident
    // size grows with the driver's churn; its heap count above is exact.)
    EXPECT_LE(record.rss_peak_after_baseline_kb, record.rss_at_baseline_kb + 4 * 1024);
#endif

    std::printf("soak: %d steps, %ld frames of %dx%d, walkers %zu -> %zu, paths %zu, non-finite vertices %ld\n",
                soak_steps, record.frames, window_width, window_height, record.walkers_at_start, record.walkers_at_end,
                path_count, record.non_finite_vertices);
    std::printf("soak: heap in use %zu bytes at step %d, at most %zu after; VmRSS %ld kB, at most %ld kB after; "
                "VmHWM %ld kB\n",
                record.heap_at_baseline, baseline_step, record.heap_peak_after_baseline, record.rss_at_baseline_kb,
                record.rss_peak_after_baseline_kb, status_kb("VmHWM"));
}

// Years of running, fast-forwarded: the counters that pace the cycle and the
// pulse keep their rhythm where 32 bits would overflow.
TEST(soak, step_count_keeps_the_cycle_past_its_32_bit_range)
{
    seed_random_engine(20261209);
    auto scene = std::make_unique<ball_camera>(stepping::manual);
    reshape(window_width, window_height, *scene);
    constexpr int last_count = INT32_MAX / ball_camera::cycle_steps * ball_camera::cycle_steps;
    scene->step_count = last_count - 2;
    std::vector<int> whole_passes;
    for (int step = 1; step <= 70; ++step) {
        const int passes_before = scene->plane.pass_count;
        scene->step();
        ASSERT_GT(scene->step_count, 0);
        if (scene->plane.pass_count != passes_before)
            whole_passes.push_back(step);
    }
    EXPECT_EQ(whole_passes, (std::vector<int>{2, 32, 62}));
}

TEST(soak, walker_ticks_keep_the_orbit_and_pulse_past_their_32_bit_range)
{
    const plane_region region(saver_rectangle);
    // Inside the main cardioid: the walker lives for ever.
    orbit_walker walker(region.bounds(), colour_rgba{255, 255, 255, 255}, -0.2f, 0.2f);
    walker.resize(window_width, window_height);
    constexpr int last_tick = INT32_MAX / orbit_walker::ticks_per_step * orbit_walker::ticks_per_step;
    walker.ticks = last_tick - 4;
    // The pulse's alpha at ticks 0, 2, ..., 58 of a step, 255 (0.3 sin(2 pi
    // k / 60) + 0.6) truncated, worked out with bc.
    constexpr int even_tick_alpha[30] = {153, 168, 184, 197, 209, 219, 225, 229, 229, 225, 219, 209, 197, 184, 168,
                                         153, 137, 121, 108, 96,  86,  80,  76,  76,  80,  86,  96,  108, 121, 137};
    std::vector<int> whole_steps;
    for (int pass = 1; pass <= 62; ++pass) {
        const int steps_before = walker.point.steps;
        ASSERT_TRUE(walker.update());
        ASSERT_GE(walker.ticks, 0);
        // Pass 1 ends on tick last_tick - 2, 58 into its step; pass 2 on
        // last_tick, 0; the ticks then start again at 1: pass p ends on 2 (p - 2).
        const int tick = pass == 1 ? 58 : 2 * (pass - 2) % 60;
        const colour_rgba pulse = walker.pulse();
        EXPECT_EQ((std::array<int, 4>{pulse.r, pulse.g, pulse.b, pulse.a}),
                  (std::array<int, 4>{255, 255, 255, even_tick_alpha[tick / 2]}))
            << "pass " << pass;
        if (walker.point.steps != steps_before)
            whole_steps.push_back(pass);
    }
    // Ticks last_tick - 3 ... : the whole step at last_tick (pass 2), then
    // every 30 passes.
    EXPECT_EQ(whole_steps, (std::vector<int>{2, 32, 62}));
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    std::string error;
    context = std::make_unique<egl_context>();
    if (!context->create(window_width, window_height, error)) {
        std::fprintf(stderr, "soak: %s\n", error.c_str());
        return 1;
    }
    const int result = RUN_ALL_TESTS();
    check_leaks_before_gl_teardown();
    context.reset();
    return result;
}
