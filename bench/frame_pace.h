// The saver's frame loop timed on a real GL context: how soon whole passes
// of the plane reach the frames, and what the process spends. The context
// and its presentation are the platform's (egl_frame_pace.cpp headless on
// Linux, win32_frame_pace.cpp in a WGL window on Windows).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "scene/frame.h"

struct pace_run {
    int width = 1024;
    int height = 768;
    double seconds = 60.0;
    std::uint32_t seed = 7;
    // What the buffer holds when a frame starts: the last frame where the
    // platform keeps it, so that frames are drawn over it as the saver does.
    buffer_holds kept = buffer_holds::anything;
};

struct pace_figures {
    // Seconds from the scene's construction to the first frame showing each
    // whole pass (pass 0 is the constructor's picture).
    std::vector<double> pass_seen_at;
    // Process CPU time as a share of one core over seconds 0-20 and 40-60.
    double early_cpu_percent = 0.0;
    double late_cpu_percent = 0.0;
    // Wall milliseconds of a frame up to its glFinish, median over the run.
    double frame_ms = 0.0;
    int frames = 0;
};

// "--seconds S --seed N WxH": false with a message on anything else.
bool parse_pace_run(int argc, char** argv, pace_run& run, std::string& error);

// Builds the scene with its worker thread on the current context and draws
// a frame every 50 ms for run.seconds: render_frame, glFinish, then present()
// (which also handles the platform's messages). process_cpu_seconds()
// reads the process's CPU time.
pace_figures measure_pace(const pace_run& run, const std::function<void()>& present,
                          const std::function<double()>& process_cpu_seconds);

// The figures beside their targets, one line each.
void print_pace(const pace_run& run, const pace_figures& figures);
