// velmora: the saver on the X Window System, as an XScreenSaver hack. It
// drives the same scene, camera and frame code as the Windows saver: a GL
// context on the window, the scene, reshape at creation, then a frame every
// 50 ms while the worker thread steps the scene.
#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "gl.h"
#include "options/command_words.h"
#include "posix/posix_stop_signals.h"
#include "random/random.h"
#include "scene/ball_camera.h"
#include "scene/frame.h"
#include "velmora_version.h"
#include "x11/fps_overlay.h"
#include "x11/glx_context.h"
#include "x11/x11_options.h"
#include "x11/x11_window.h"

namespace {

constexpr int default_width = 1024;
constexpr int default_height = 768;
constexpr std::chrono::milliseconds frame_period(frame_period_ms);

int fail(const std::string& message)
{
    std::fprintf(stderr, "velmora: %s\n", message.c_str());
    return 1;
}

// The window to draw on for -root: XScreenSaver names its own window in the
// environment; without it, the screen's root window.
bool root_target(Display* display, Window& target, std::string& error)
{
    const char* named = std::getenv("XSCREENSAVER_WINDOW");
    if (!named || !*named) {
        target = DefaultRootWindow(display);
        return true;
    }
    const auto id = parse_window_id(named);
    if (!id) {
        error = "XSCREENSAVER_WINDOW is not a window ID: " + quoted(named);
        return false;
    }
    target = *id;
    return true;
}

class saver_run {
public:
    saver_run(Display* connection, const x11_options& chosen)
        : display(connection), options(chosen), whole_frames(whole_frames_asked())
    {}

    int run(stop_signals& signals);

private:
    bool open_window(std::string& error);
    // True when the run should end.
    bool handle_pending_events();
    void draw_frame();

    Display* display;
    x11_options options;
    x11_window window;
    glx_context context;
    std::unique_ptr<ball_camera> scene;
    frame_rate_meter frame_rate;
    int drawn_width = 0;
    int drawn_height = 0;
    // Every frame drawn whole even where the back buffer is kept, to compare.
    bool whole_frames;
    pixel_box last_overlay = no_pixels;
};

bool saver_run::open_window(std::string& error)
{
    XVisualInfo visual{};
    if (options.target == x11_target::new_window) {
        return choose_glx_visual(display, DefaultScreen(display), visual, error) &&
               window.create(display, visual, default_width, default_height, error) &&
               context.create(display, visual, window.id, error);
    }
    Window target = options.window_id;
    if (options.target == x11_target::root && !root_target(display, target, error))
        return false;
    return window.adopt(display, target, error) && window_glx_visual(display, target, visual, error) &&
           context.create(display, visual, target, error);
}

bool saver_run::handle_pending_events()
{
    bool end = false;
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        end = window.handle(event) || end;
    }
    return end;
}

void saver_run::draw_frame()
{
    // The Windows saver fixes its projection at creation; a hack is resized
    // when the screens change, so the projection follows the window.
    if (window.width != drawn_width || window.height != drawn_height) {
        drawn_width = window.width;
        drawn_height = window.height;
        reshape(drawn_width, drawn_height, *scene);
    }
    // Over the frame the back buffer kept, only what changed is drawn, with
    // the overlay's last and new place.
    const buffer_holds before = window.spoiled || whole_frames ? buffer_holds::anything : context.back_buffer_holds();
    window.spoiled = false;
    const std::string fps_text =
        options.show_fps ? fps_overlay_text(frame_rate.frames_per_second(), scene->worker.last_step_us) : "";
    const pixel_box overlay_now =
        options.show_fps ? fps_overlay_box(fps_text.size(), drawn_width, drawn_height) : no_pixels;
    pixel_box overlay = overlay_now;
    overlay.take_in(last_overlay);
    last_overlay = overlay_now;
    render_frame(*scene, before, overlay);
    if (options.show_fps)
        draw_fps_overlay(fps_text, drawn_width, drawn_height);
    glFinish();
    glFlush();
    context.present();
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    frame_rate.frame_presented(std::chrono::duration<double>(now).count());
}

int saver_run::run(stop_signals& signals)
{
    install_x11_error_handler();
    std::string error;
    if (!open_window(error))
        return fail(error);

    // A daemon may end the hack at once; the scene's build is not cut short.
    if (signals.wait(nullptr, 0) != 0)
        return 0;

    // The scene creates its texture object, so the context must be current.
    scene = std::make_unique<ball_camera>();
    drawn_width = window.width;
    drawn_height = window.height;
    reshape(drawn_width, drawn_height, *scene);

    using clock = std::chrono::steady_clock;
    auto next_frame = clock::now();
    int status = 0;
    for (;;) {
        if (handle_pending_events())
            break;
        error = take_x11_error(display, false);
        if (!error.empty()) {
            status = fail(error);
            break;
        }

        auto now = clock::now();
        if (now >= next_frame) {
            draw_frame();
            next_frame += frame_period;
            // After a stall, keep the period instead of catching up.
            now = clock::now();
            if (next_frame < now)
                next_frame = now + frame_period;
        }

        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next_frame - now).count() + 1;
        pollfd connection = {ConnectionNumber(display), POLLIN, 0};
        if (signals.wait(&connection, static_cast<int>(wait)) != 0)
            break;
        if (connection.revents & (POLLERR | POLLHUP))
            break;
    }

    // A clean end: the worker finishes its step, then the scene, the context
    // and our window go before the connection closes.
    scene->stop_worker();
    scene.reset();
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    keep_gl_driver_memory();
    stop_signals signals;
    std::string error;
    if (!signals.open(false, error))
        return fail(error);

    const parsed_x11_options parsed = parse_x11_options(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty())
        return fail(parsed.error);
    if (parsed.options.show_help) {
        std::fputs(x11_usage("velmora").c_str(), stdout);
        return 0;
    }
    if (parsed.options.show_version) {
        std::fputs("velmora " VELMORA_VERSION "\n", stdout);
        return 0;
    }
    if (parsed.options.seed)
        seed_random_engine(*parsed.options.seed);

    const char* display_name = std::getenv("DISPLAY");
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        if (!display_name || !*display_name)
            return fail("no X display: DISPLAY is not set");
        return fail("cannot open X display " + quoted(display_name));
    }

    int status = 1;
    try {
        saver_run run(display, parsed.options);
        status = run.run(signals);
    } catch (const std::bad_alloc&) {
        status = fail("out of memory");
    }
    XCloseDisplay(display);
    return status;
}
