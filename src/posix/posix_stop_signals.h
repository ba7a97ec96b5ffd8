// The signals that end a run of the Linux programs: the saver daemon's
// SIGTERM and a terminal's SIGINT and SIGHUP; and, where a program waits for
// a child, SIGCHLD. They are blocked from the start, so every thread made
// later (the worker, the GL driver's) inherits the block, and the main
// thread takes them only while it waits in ppoll with its old mask. There
// the handler runs at once, also under a sanitizer that defers signals
// landing outside a blocking call, and its byte wakes the wait through a
// pipe; a thread started before main that does not block them (a
// sanitizer's) runs the handler too, which wakes the wait as well.
#pragma once

#include <poll.h>
#include <signal.h>

#include <string>

class stop_signals {
public:
    stop_signals() = default;
    ~stop_signals();
    stop_signals(const stop_signals&) = delete;
    stop_signals& operator=(const stop_signals&) = delete;

    // Blocks the signals in the calling thread (so call it before any thread
    // is made) and takes them with the handler; SIGCHLD too when children
    // is true. On failure returns false with a message in error.
    bool open(bool children, std::string& error);

    // Waits up to milliseconds (negative: without a limit) for watched's
    // events, when given (its revents are set), or a signal. Returns the
    // stop signal that has come, else 0: watched is ready, the time is up or
    // a child has ended.
    int wait(pollfd* watched, int milliseconds);

    // The signals open() blocked, which a child must get unblocked.
    const sigset_t& blocked() const { return blocked_; }

private:
    int read_end_ = -1;
    sigset_t blocked_{};
    sigset_t waiting_mask_{};
};

// "SIGINT" and so on.
std::string signal_name(int signal_number);
