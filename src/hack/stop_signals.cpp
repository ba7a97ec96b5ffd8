#include "hack/stop_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>

namespace {

// The write end of the pipe that tells the main loop a stop signal came.
// The handler gets no user data, so it lives here; nothing else uses it.
int stop_pipe_write = -1;

extern "C" void on_stop_signal(int)
{
    const int saved_errno = errno;
    const char byte = 1;
    // A full pipe already holds a stop request.
    [[maybe_unused]] const ssize_t written = write(stop_pipe_write, &byte, 1);
    errno = saved_errno;
}

}  // namespace

bool open_stop_signals(stop_signals& signals)
{
    sigset_t stopping;
    sigemptyset(&stopping);
    for (int signal_number : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&stopping, signal_number);
    if (pthread_sigmask(SIG_BLOCK, &stopping, &signals.waiting_mask) != 0)
        return false;
    for (int signal_number : {SIGTERM, SIGINT, SIGHUP})
        sigdelset(&signals.waiting_mask, signal_number);

    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    stop_pipe_write = ends[1];
    signals.read_end = ends[0];
    struct sigaction action {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal_number : {SIGTERM, SIGINT, SIGHUP})
        if (sigaction(signal_number, &action, nullptr) != 0)
            return false;
    return true;
}

bool stop_signalled(const stop_signals& signals, pollfd* display, int milliseconds)
{
    const timespec timeout = {milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    // poll skips an entry whose descriptor is negative.
    pollfd watched[2] = {{signals.read_end, POLLIN, 0}, display ? *display : pollfd{-1, 0, 0}};
    const int ready = ppoll(watched, 2, &timeout, &signals.waiting_mask);
    if (display)
        *display = watched[1];
    if (ready >= 0)
        return (watched[0].revents & POLLIN) != 0;
    // Interrupted: the handler's byte is in the pipe by now.
    pollfd pipe_check = {signals.read_end, POLLIN, 0};
    return poll(&pipe_check, 1, 0) > 0;
}
