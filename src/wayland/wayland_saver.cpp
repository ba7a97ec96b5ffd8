#include "wayland/wayland_saver.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include <wayland-client.h>

#include "options/command_words.h"
#include "random/random.h"
#include "wayland/wayland_display.h"
#include "wayland/wayland_egl_context.h"
#include "wayland/wayland_surface.h"

namespace {

using clock = wayland_surface::clock;

// The longest wait between two looks at the surfaces when none is due.
constexpr int idle_wait_ms = 1000;

// Rounded up, so that the wait does not end just before the time.
int milliseconds_until(clock::time_point when, clock::time_point now)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(when - now).count() + 1;
    return static_cast<int>(std::clamp<long long>(left, 0, idle_wait_ms));
}

class wayland_run {
public:
    wayland_run(wl_display* connection, const hack_options& chosen) : display(connection), options(chosen) {}

    int run(stop_signals& signals);

private:
    bool open(std::string& error);
    // -root: a surface on each described output, none on removed ones.
    void follow_outputs();
    bool start_surfaces(std::string& error);
    // The close rules: input, or the compositor closing a surface.
    bool should_end();
    void draw_due();
    // Waits for the compositor, a stop signal or the next frame's time and
    // dispatches what came. False when the run ends (stop or hang-up).
    bool wait(stop_signals& signals);

    wayland_display display;
    wayland_egl egl;
    hack_options options;
    // After the display and EGL: the surfaces go first.
    std::vector<std::unique_ptr<wayland_surface>> surfaces;
    surface_role covering = surface_role::overlay;
};

bool wayland_run::open(std::string& error)
{
    if (!display.bind_globals(error) || !egl.open(display.connection, error))
        return false;
    if (options.target == hack_target::window_id) {
        error = "-window-id names an X window; there are none on Wayland";
        return false;
    }
    if (options.target == hack_target::new_window) {
        surfaces.push_back(std::make_unique<wayland_surface>(display, surface_role::window, nullptr));
        return true;
    }
    display.hide_pointer = true;
    if (display.layer_shell) {
        std::fputs("velmora: Wayland: a layer-shell overlay on each output\n", stderr);
    } else {
        covering = surface_role::fullscreen;
        std::fputs("velmora: Wayland without a layer shell: a fullscreen window on each output\n", stderr);
    }
    follow_outputs();
    return true;
}

void wayland_run::follow_outputs()
{
    const std::vector<std::uint32_t>& removed = display.removed_outputs();
    for (std::uint32_t name : removed)
        surfaces.erase(std::remove_if(surfaces.begin(), surfaces.end(),
                                      [name](const auto& surface) {
                                          return surface->output && surface->output->global_name == name;
                                      }),
                       surfaces.end());
    display.forget_removed_outputs();
    if (options.target != hack_target::root)
        return;
    for (const auto& output : display.outputs) {
        const bool covered = std::any_of(surfaces.begin(), surfaces.end(),
                                         [&output](const auto& surface) { return surface->output == output.get(); });
        if (output->described && !covered)
            surfaces.push_back(std::make_unique<wayland_surface>(display, covering, output.get()));
    }
}

bool wayland_run::start_surfaces(std::string& error)
{
    for (const auto& surface : surfaces) {
        if (!surface->waiting_to_start())
            continue;
        // With --seed every output shows that seed's scene; without it the
        // outputs' scenes follow one another from the time's seed.
        if (options.seed)
            seed_random_engine(*options.seed);
        if (!surface->start(egl, options.show_fps, error))
            return false;
    }
    return true;
}

bool wayland_run::should_end()
{
    const wayland_input& input = display.input;
    if (options.target == hack_target::root) {
        if (input.key_pressed || input.button_pressed || input.moved_away)
            return true;
    } else if (input.quit_key_pressed) {
        return true;
    }
    const auto closed = [](const auto& surface) { return surface->closed; };
    if (std::none_of(surfaces.begin(), surfaces.end(), closed))
        return false;
    // A layer surface is also closed when its output goes: that removal may
    // still be on its way.
    if (wl_display_roundtrip(display.connection) < 0)
        return true;
    follow_outputs();
    return std::any_of(surfaces.begin(), surfaces.end(), closed);
}

void wayland_run::draw_due()
{
    const auto now = clock::now();
    for (const auto& surface : surfaces)
        if (surface->due(now))
            surface->draw();
}

bool wayland_run::wait(stop_signals& signals)
{
    wl_display* connection = display.connection;
    // A connection in error dispatches nothing, so prepare_read would fail
    // for ever.
    while (wl_display_prepare_read(connection) != 0)
        if (wl_display_dispatch_pending(connection) < 0)
            return false;
    wl_display_flush(connection);

    const auto now = clock::now();
    int wait_ms = idle_wait_ms;
    for (const auto& surface : surfaces)
        if (surface->waiting_for_time())
            wait_ms = std::min(wait_ms, milliseconds_until(surface->next_frame, now));
    pollfd connection_fd = {wl_display_get_fd(connection), POLLIN, 0};
    if (signals.wait(&connection_fd, wait_ms) != 0) {
        wl_display_cancel_read(connection);
        return false;
    }
    if (connection_fd.revents & POLLIN) {
        if (wl_display_read_events(connection) < 0)
            return false;
    } else {
        wl_display_cancel_read(connection);
    }
    return !(connection_fd.revents & (POLLERR | POLLHUP)) && wl_display_dispatch_pending(connection) >= 0;
}

int wayland_run::run(stop_signals& signals)
{
    std::string error;
    if (!open(error))
        return report_error(error);
    // A daemon may end the saver at once.
    if (signals.wait(nullptr, 0) != 0)
        return 0;
    for (;;) {
        follow_outputs();
        if (!start_surfaces(error))
            return report_error(error);
        if (should_end())
            return 0;
        draw_due();
        if (!wait(signals))
            break;
    }
    // A stop signal, or the compositor gone: a protocol error is ours.
    if (wl_display_get_error(display.connection) == EPROTO) {
        const wl_interface* interface = nullptr;
        std::uint32_t id = 0;
        const std::uint32_t code = wl_display_get_protocol_error(display.connection, &interface, &id);
        return report_error("the Wayland compositor reported error " + std::to_string(code) + " on " +
                            (interface ? interface->name : "an object"));
    }
    return 0;
}

}  // namespace

void wayland_disconnect::operator()(wl_display* connection) const
{
    wl_display_disconnect(connection);
}

wayland_connection connect_to_compositor(std::string& error)
{
    wayland_connection connection(wl_display_connect(nullptr));
    if (!connection) {
        const char* name = std::getenv("WAYLAND_DISPLAY");
        error = "cannot connect to the Wayland compositor " + quoted(name && *name ? name : "wayland-0") + ": " +
                std::strerror(errno);
    }
    return connection;
}

int run_on_wayland(wayland_connection connection, const hack_options& options, stop_signals& signals)
{
    try {
        wayland_run run(connection.release(), options);
        return run.run(signals);
    } catch (const std::bad_alloc&) {
        return report_error("out of memory");
    }
}
