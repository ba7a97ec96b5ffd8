// The -fps statistics: the frame rate and the simulation step time, drawn in
// the top-left corner with OpenGL 1.1 bitmaps from a tiny built-in font (no
// server font needed, so it works on any display).
#pragma once

#include <cstdint>
#include <string>

#include "scene/frame_damage.h"

// Frames per second over the last whole second or more of presented frames.
class frame_rate_meter {
public:
    // Counts one presented frame at the given time, in seconds.
    void frame_presented(double now_seconds);
    // 0 until the first second has been measured.
    double frames_per_second() const { return rate; }

private:
    bool started = false;
    double window_start = 0.0;
    int frames_in_window = 0;
    double rate = 0.0;
};

// "FPS 20.0  STEP 3.25 MS": the text the overlay shows.
std::string fps_overlay_text(double frames_per_second, std::int32_t step_us);

// The window pixels (rows from the bottom) the overlay covers with text of
// this many characters, within the window.
pixel_box fps_overlay_box(std::size_t characters, int width, int height);

// Draws the text at the top-left of a viewport of the given size and leaves
// the GL state as it found it. Only the characters of fps_overlay_text have
// glyphs; others show as blanks.
void draw_fps_overlay(const std::string& text, int width, int height);
