// frame_pace, headless: the frames in an EGL pbuffer on Mesa, as the X11
// hack draws them (without the window's presentation).
//   frame_pace [--seconds S] [--seed N] [WxH]
#include <cstdio>
#include <ctime>

#include "frame_pace.h"
#include "render/egl_context.h"
#include "scene/frame.h"

int main(int argc, char** argv)
{
    keep_gl_driver_memory();
    pace_run run;
    std::string error;
    if (!parse_pace_run(argc, argv, run, error)) {
        std::fprintf(stderr, "frame_pace: %s\nusage: frame_pace [--seconds S] [--seed N] [WxH]\n", error.c_str());
        return 2;
    }
    // The pbuffer is never swapped: it holds the frame drawn before.
    run.kept = buffer_holds::last_frame;
    egl_context context;
    if (!context.create(run.width, run.height, error)) {
        std::fprintf(stderr, "frame_pace: %s\n", error.c_str());
        return 1;
    }
    const pace_figures figures = measure_pace(
        run, [] {},
        [] {
            timespec used{};
            clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
            return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) / 1e9;
        });
    print_pace(run, figures);
    return figures.frames > 0 ? 0 : 1;
}
