#include "render/signal_watch.h"

#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

signal_watch::~signal_watch()
{
    if (fd_ >= 0)
        close(fd_);
}

bool signal_watch::open(std::string& error)
{
    sigemptyset(&blocked_);
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGCHLD})
        sigaddset(&blocked_, signal_number);
    signal(SIGPIPE, SIG_IGN);
    if (pthread_sigmask(SIG_BLOCK, &blocked_, nullptr) != 0 ||
        (fd_ = signalfd(-1, &blocked_, SFD_NONBLOCK | SFD_CLOEXEC)) < 0) {
        error = std::string("cannot watch for signals: ") + std::strerror(errno);
        return false;
    }
    return true;
}

int signal_watch::take()
{
    int stop = 0;
    signalfd_siginfo info;
    while (read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
        if (stop == 0 && info.ssi_signo != SIGCHLD)
            stop = static_cast<int>(info.ssi_signo);
    return stop;
}

std::string signal_name(int signal_number)
{
    const char* abbreviation = sigabbrev_np(signal_number);
    return abbreviation ? std::string("SIG") + abbreviation : "signal " + std::to_string(signal_number);
}
