#include "hack/hack_frames.h"

#include <chrono>
#include <string>

#include "gl.h"
#include "scene/ball_camera.h"

std::chrono::steady_clock::time_point next_frame_time(std::chrono::steady_clock::time_point due,
                                                      std::chrono::steady_clock::time_point now)
{
    constexpr std::chrono::milliseconds frame_period(frame_period_ms);
    const auto next = due + frame_period;
    return next < now ? now + frame_period : next;
}

hack_frames::hack_frames(bool with_fps) : show_fps(with_fps), whole_frames(whole_frames_asked())
{}

void hack_frames::draw(ball_camera& scene, int width, int height, buffer_holds before)
{
    // The Windows saver fixes its projection at creation; a hack is resized
    // when the screens change, so the projection follows the window.
    if (width != drawn_width || height != drawn_height) {
        drawn_width = width;
        drawn_height = height;
        reshape(width, height, scene);
    }
    if (whole_frames)
        before = buffer_holds::anything;
    // Over the frame the buffer kept, only what changed is drawn, with the
    // overlay's last and new place.
    const std::string fps_text =
        show_fps ? fps_overlay_text(frame_rate.frames_per_second(), scene.worker.last_step_us) : "";
    const pixel_box overlay_now = show_fps ? fps_overlay_box(fps_text.size(), width, height) : no_pixels;
    pixel_box overlay = overlay_now;
    overlay.take_in(last_overlay);
    last_overlay = overlay_now;
    render_frame(scene, before, overlay);
    if (show_fps)
        draw_fps_overlay(fps_text, width, height);
    glFinish();
    glFlush();
}

void hack_frames::presented()
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    frame_rate.frame_presented(std::chrono::duration<double>(now).count());
}
