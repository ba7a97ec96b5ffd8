#include "posix/posix_stop_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// The write end of the pipe that tells the waits a signal came. The
// handler gets no user data, so it lives here; nothing else uses it.
int signal_pipe_write = -1;

extern "C" void on_signal(int signal_number)
{
    const int saved_errno = errno;
    const char byte = static_cast<char>(signal_number);
    // A full pipe already holds a stop request.
    [[maybe_unused]] const ssize_t written = write(signal_pipe_write, &byte, 1);
    errno = saved_errno;
}

}  // namespace

stop_signals::~stop_signals()
{
    if (read_end_ >= 0)
        close(read_end_);
}

bool stop_signals::open(bool children, std::string& error)
{
    sigemptyset(&blocked_);
    for (const int signal_number : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&blocked_, signal_number);
    if (children)
        sigaddset(&blocked_, SIGCHLD);
    int ends[2];
    if (pthread_sigmask(SIG_BLOCK, &blocked_, &waiting_mask_) != 0 || pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = std::string("cannot watch for signals: ") + std::strerror(errno);
        return false;
    }
    for (const int signal_number : {SIGTERM, SIGINT, SIGHUP, SIGCHLD})
        if (sigismember(&blocked_, signal_number))
            sigdelset(&waiting_mask_, signal_number);
    signal_pipe_write = ends[1];
    read_end_ = ends[0];
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal_number : {SIGTERM, SIGINT, SIGHUP, SIGCHLD})
        if (sigismember(&blocked_, signal_number) && sigaction(signal_number, &action, nullptr) != 0) {
            error = std::string("cannot watch for signals: ") + std::strerror(errno);
            return false;
        }
    return true;
}

int stop_signals::wait(pollfd* watched, int milliseconds)
{
    const timespec timeout = {milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    // poll skips an entry whose descriptor is negative. Interrupted, the
    // handler's byte is in the pipe by now.
    pollfd waits[2] = {{read_end_, POLLIN, 0}, watched ? *watched : pollfd{-1, 0, 0}};
    const bool ready = ppoll(waits, 2, milliseconds < 0 ? nullptr : &timeout, &waiting_mask_) > 0;
    if (watched)
        watched->revents = ready ? waits[1].revents : 0;
    int stop = 0;
    char byte = 0;
    while (read(read_end_, &byte, 1) == 1)
        if (stop == 0 && byte != SIGCHLD)
            stop = byte;
    return stop;
}

std::string signal_name(int signal_number)
{
    const char* abbreviation = sigabbrev_np(signal_number);
    return abbreviation ? std::string("SIG") + abbreviation : "signal " + std::to_string(signal_number);
}
