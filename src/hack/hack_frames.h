// The frames of one scene in one window, on X11 and on Wayland alike: the
// projection follows the window's size, frames are drawn over the last where
// the buffer kept it, with the -fps overlay on top.
#pragma once

#include <chrono>

#include "hack/fps_overlay.h"
#include "scene/frame.h"

class ball_camera;

// The size of a window of the hack's own.
constexpr int hack_window_width = 1024;
constexpr int hack_window_height = 768;

// When the frame after one that was due at due comes, drawn by now: a
// period later, or a period from now after a stall instead of catching up.
std::chrono::steady_clock::time_point next_frame_time(std::chrono::steady_clock::time_point due,
                                                      std::chrono::steady_clock::time_point now);

class hack_frames {
public:
    explicit hack_frames(bool with_fps);

    // Draws one frame of the scene at the window's size (reshaping first
    // when the size changed) and finishes it; the caller presents it, then
    // calls presented(). before is what the buffer holds now.
    void draw(ball_camera& scene, int width, int height, buffer_holds before);
    void presented();

private:
    bool show_fps;
    // Every frame drawn whole even where the buffer is kept, to compare.
    bool whole_frames;
    frame_rate_meter frame_rate;
    int drawn_width = -1;
    int drawn_height = -1;
    pixel_box last_overlay = no_pixels;
};
