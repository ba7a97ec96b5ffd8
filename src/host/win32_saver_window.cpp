#include "host/win32_saver_window.h"

#include <cstdint>
#include <vector>

#include "gl.h"
#include "host/wgl_context.h"
#include "host/win32_close_rules.h"
#include "scene/ball_camera.h"
#include "scene/frame.h"

namespace {

// The one application record of a saver window.
struct saver_app {
    std::int32_t perspective;
    ball_camera* scene;
};

constexpr UINT_PTR frame_timer = 1;

// Written on the window thread at creation, read by the frames.
saver_app* app = nullptr;
RECT client_rect = {0, 0, 0, 0};
std::int32_t window_width = 0;
std::int32_t window_height = 0;
HDC window_dc = nullptr;
HGLRC gl_context = nullptr;
bool gl_context_current = false;

// Whether the back buffer still holds the frame presented last, so that a
// frame need only redraw what changed.
struct kept_frame {
    bool swap_copies = false;
    swap_hint_function add_swap_hint = nullptr;
    // Painted over since the last frame (WM_PAINT).
    bool spoiled = true;
    // Every frame whole, to compare (whole_frames_asked).
    bool whole_frames = false;
};
kept_frame kept;

void create_saver(HWND window)
{
    GetClientRect(window, &client_rect);
    window_width = client_rect.right;
    window_height = client_rect.bottom;
    const wgl_context context = create_gl_context(window);
    window_dc = context.device;
    gl_context = context.rendering;
    gl_context_current = context.current;
    kept.swap_copies = context.swap_copies;
    kept.add_swap_hint = context.add_swap_hint;
    kept.whole_frames = whole_frames_asked();
    app = new saver_app{1, nullptr};
    // Without a current context there is nothing to draw with: the window
    // stays black and the close rules still apply.
    if (gl_context_current) {
        app->scene = new ball_camera(stepping::worker_thread);
        reshape(window_width, window_height, *app->scene);
    }
    SetTimer(window, frame_timer, frame_period_ms, nullptr);
}

void draw_frame()
{
    if (app == nullptr || app->scene == nullptr)
        return;
    const bool over_last = kept.swap_copies && !kept.spoiled && !kept.whole_frames;
    kept.spoiled = false;
    std::vector<pixel_box> boxes;
    render_frame(*app->scene, over_last ? buffer_holds::last_frame : buffer_holds::anything, no_pixels, &boxes);
    // With no hint the swap copies the whole window.
    if (kept.add_swap_hint != nullptr)
        for (const pixel_box& box : boxes)
            kept.add_swap_hint(static_cast<GLint>(box.left), static_cast<GLint>(box.bottom),
                               static_cast<GLsizei>(box.right - box.left), static_cast<GLsizei>(box.top - box.bottom));
    glFinish();
    glFlush();
    SwapBuffers(window_dc);
}

void destroy_saver(HWND window)
{
    KillTimer(window, frame_timer);
    release_gl_context(window, wgl_context{window_dc, gl_context, gl_context_current, false, nullptr});
    // No frame is drawn after this; the scene and its worker live on until
    // the process ends.
    gl_context = nullptr;
    gl_context_current = false;
}

}  // namespace

LRESULT saver_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_CREATE:
        create_saver(window);
        return 0;
    case WM_TIMER:
        if (gl_context_current)
            draw_frame();
        return 0;
    case WM_PAINT:
        kept.spoiled = true;
        return default_saver_proc(window, message, wparam, lparam);
    case WM_DESTROY:
        destroy_saver(window);
        return 0;
    default:
        return default_saver_proc(window, message, wparam, lparam);
    }
}

bool register_dialog_classes(HINSTANCE)
{
    return true;
}

INT_PTR CALLBACK configure_dialog_proc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}
