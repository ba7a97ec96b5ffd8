// velmora on an X display: a GL context on a window of its own, on the
// root window or XScreenSaver's, or on a window named by its ID.
#pragma once

#include "hack/hack_options.h"
#include "posix/posix_stop_signals.h"

// Opens the display named by DISPLAY, runs until the window is closed, the
// window given is destroyed or a stop signal comes, and returns the exit
// status (one line on standard error for a failure).
int run_on_x11(const hack_options& options, stop_signals& signals);
