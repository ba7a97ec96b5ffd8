#include "x11/x11_saver.h"

#include <chrono>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "gl.h"
#include "hack/hack_frames.h"
#include "options/command_words.h"
#include "scene/ball_camera.h"
#include "x11/glx_context.h"
#include "x11/x11_window.h"

namespace {

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
    saver_run(Display* connection, const hack_options& chosen)
        : display(connection), options(chosen), frames(chosen.show_fps)
    {}

    int run(stop_signals& signals);

private:
    bool open_window(std::string& error);
    // True when the run should end.
    bool handle_pending_events();
    void draw_frame();

    Display* display;
    hack_options options;
    x11_window window;
    glx_context context;
    std::unique_ptr<ball_camera> scene;
    hack_frames frames;
};

bool saver_run::open_window(std::string& error)
{
    XVisualInfo visual{};
    if (options.target == hack_target::new_window) {
        return choose_glx_visual(display, DefaultScreen(display), visual, error) &&
               window.create(display, visual, hack_window_width, hack_window_height, error) &&
               context.create(display, visual, window.id, error);
    }
    Window target = options.window_id;
    if (options.target == hack_target::root && !root_target(display, target, error))
        return false;
    return window.adopt(display, target, error) && adopted_window_visual(display, window, visual, error) &&
           context.create(display, visual, window.drawable, error);
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
    // An exposed or resized window no longer shows the frame presented last.
    const buffer_holds before = window.spoiled ? buffer_holds::anything : context.back_buffer_holds();
    window.spoiled = false;
    frames.draw(*scene, window.width, window.height, before);
    context.present();
    frames.presented();
}

int saver_run::run(stop_signals& signals)
{
    install_x11_error_handler();
    std::string error;
    if (!open_window(error))
        return report_error(error);

    // A daemon may end the hack at once; the scene's build is not cut short.
    if (signals.wait(nullptr, 0) != 0)
        return 0;

    // The scene creates its texture object, so the context must be current.
    scene = std::make_unique<ball_camera>();

    using clock = std::chrono::steady_clock;
    auto next_frame = clock::now();
    int status = 0;
    for (;;) {
        if (handle_pending_events())
            break;
        error = take_x11_error(display, false);
        if (!error.empty()) {
            status = report_error(error);
            break;
        }

        auto now = clock::now();
        if (now >= next_frame) {
            draw_frame();
            now = clock::now();
            next_frame = next_frame_time(next_frame, now);
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

int run_on_x11(const hack_options& options, stop_signals& signals)
{
    const char* display_name = std::getenv("DISPLAY");
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        if (!display_name || !*display_name)
            return report_error("no X display: DISPLAY is not set");
        return report_error("cannot open X display " + quoted(display_name));
    }
    int status = 1;
    try {
        saver_run run(display, options);
        status = run.run(signals);
    } catch (const std::bad_alloc&) {
        status = report_error("out of memory");
    }
    XCloseDisplay(display);
    return status;
}
