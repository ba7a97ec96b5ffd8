// velmora on a Wayland compositor: -root covers every output with a
// layer-shell overlay (a fullscreen window on each where the compositor has
// no layer shell) until a key, a click or a move; -window is a window of
// its own. One scene per surface.
#pragma once

#include <memory>
#include <string>

#include "hack/hack_options.h"
#include "posix/posix_stop_signals.h"

struct wl_display;

struct wayland_disconnect {
    void operator()(wl_display* connection) const;
};
using wayland_connection = std::unique_ptr<wl_display, wayland_disconnect>;

// The compositor WAYLAND_DISPLAY names, or none with a one-line reason.
wayland_connection connect_to_compositor(std::string& error);

// Runs until the run's close rules end it, a stop signal comes or the
// compositor goes; returns the exit status (one line on standard error for
// a failure).
int run_on_wayland(wayland_connection connection, const hack_options& options, stop_signals& signals);
