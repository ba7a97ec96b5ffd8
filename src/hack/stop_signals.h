// The signals that end a run of velmora, on X11 and on Wayland: the saver
// daemon's SIGTERM, and a terminal's SIGINT and SIGHUP.
#pragma once

#include <poll.h>
#include <signal.h>

// They are blocked from the start, so every thread made later (the worker,
// the GL driver's) inherits the block, and the main thread takes them only
// while it waits in ppoll with its old mask. There the handler runs at once,
// also under a sanitizer that defers signals landing outside a blocking
// call, and its byte wakes the wait through a pipe.
struct stop_signals {
    int read_end = -1;
    sigset_t waiting_mask;
};

// Blocks the signals and installs the handler; first thing in main.
bool open_stop_signals(stop_signals& signals);

// Waits up to `milliseconds` for the display's connection (when given) or a
// stop signal; the stop signals are taken only here. True when one has come.
// The connection's revents are written back.
bool stop_signalled(const stop_signals& signals, pollfd* display, int milliseconds);
