// The signals that end a long run (Ctrl-C's SIGINT, SIGTERM, SIGHUP) and a
// child's end (SIGCHLD), read from a descriptor that poll waits on, so that
// the run stops where it chooses and cleans up.
#pragma once

#include <signal.h>

#include <string>

class signal_watch {
public:
    signal_watch() = default;
    ~signal_watch();
    signal_watch(const signal_watch&) = delete;
    signal_watch& operator=(const signal_watch&) = delete;

    // Blocks the signals in the calling thread, whose later threads inherit
    // the mask (so call it before any thread is made, the GL driver's too),
    // and opens the descriptor. SIGPIPE is ignored: writing to a pipe whose
    // reader has gone fails with EPIPE. On failure returns false with a
    // message in error.
    bool open(std::string& error);

    int fd() const { return fd_; }

    // Reads the signals that have come: the first that ends the run, or 0
    // for a child's end or none.
    int take();

    // The signals open() blocked, which a child must get unblocked.
    const sigset_t& blocked() const { return blocked_; }

private:
    int fd_ = -1;
    sigset_t blocked_{};
};

// "SIGINT" and so on.
std::string signal_name(int signal_number);
