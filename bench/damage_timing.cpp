// What drawing only the changes saves, headless on Mesa's llvmpipe: from
// several points of one life, the same frames one step apart drawn whole and
// over the frame before, each timed as process CPU (llvmpipe's threads
// included) from render_frame to glFinish; and the share of the window the
// redrawn boxes cover.
//   damage_timing [--frames N] [WxH]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "gl.h"
#include "random/random.h"
#include "render/egl_context.h"
#include "scene/ball_camera.h"
#include "scene/frame.h"

namespace {

double process_cpu_seconds()
{
    timespec used{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) / 1e9;
}

struct frames_cost {
    double ms_per_frame = 0.0;
    double covered = 0.0;  // mean share of the window redrawn
};

// Frames from step `from`, one step apart; the steps are not timed.
frames_cost time_frames(int width, int height, long from, int frames, buffer_holds before)
{
    seed_random_engine(7);
    ball_camera scene(stepping::manual);
    reshape(width, height, scene);
    for (long s = 0; s < from; ++s)
        scene.step();
    render_frame(scene);
    glFinish();
    frames_cost cost;
    double cpu = 0.0;
    std::vector<pixel_box> boxes;
    for (int f = 0; f < frames; ++f) {
        scene.step();
        const double start = process_cpu_seconds();
        const int drawn = render_frame(scene, before, no_pixels, &boxes);
        glFinish();
        cpu += process_cpu_seconds() - start;
        double area = drawn < 0 ? 1.0 : 0.0;
        for (const pixel_box& box : boxes)
            area += static_cast<double>(box.area()) / (static_cast<double>(width) * height);
        cost.covered += area / frames;
    }
    cost.ms_per_frame = cpu * 1000.0 / frames;
    return cost;
}

}  // namespace

int main(int argc, char** argv)
{
    keep_gl_driver_memory();
    int width = 1280;
    int height = 800;
    int frames = 60;
    for (int a = 1; a < argc; ++a) {
        if (std::strcmp(argv[a], "--frames") == 0 && a + 1 < argc && std::atoi(argv[a + 1]) > 0) {
            frames = std::atoi(argv[++a]);
        } else if (std::sscanf(argv[a], "%dx%d", &width, &height) != 2 || width <= 0 || height <= 0) {
            std::fprintf(stderr, "usage: damage_timing [--frames N] [WxH]\n");
            return 2;
        }
    }
    egl_context context;
    std::string error;
    if (!context.create(width, height, error)) {
        std::fprintf(stderr, "damage_timing: %s\n", error.c_str());
        return 1;
    }
    std::printf("%dx%d, seed 7, %d frames one step apart (process CPU per frame)\n", width, height, frames);
    std::printf("  %-10s %14s %14s %16s\n", "from step", "whole (ms)", "damage (ms)", "window redrawn");
    // During the emergence (seconds 40-60 are steps 800-1200) and after it.
    for (const long from : {100L, 1000L, 2900L, 6000L}) {
        const frames_cost whole = time_frames(width, height, from, frames, buffer_holds::anything);
        const frames_cost damage = time_frames(width, height, from, frames, buffer_holds::last_frame);
        std::printf("  %-10ld %14.2f %14.2f %15.0f%%\n", from, whole.ms_per_frame, damage.ms_per_frame,
                    damage.covered * 100.0);
        std::fflush(stdout);
    }
    return 0;
}
