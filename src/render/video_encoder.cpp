#include "render/video_encoder.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "posix/posix_stop_signals.h"

extern char** environ;

std::vector<std::string> encoder_arguments(video_format format, int width, int height, int frame_rate,
                                           const std::string& output)
{
    // -xerror: ffmpeg 5.1 otherwise exits with 0 when a full disk cuts
    // the end of a WebM file off.
    std::vector<std::string> arguments = {"-hide_banner", "-nostdin", "-loglevel", "error", "-xerror"};
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    arguments.insert(arguments.end(), {"-f", "rawvideo", "-pixel_format", "rgba", "-video_size", size, "-framerate",
                                       std::to_string(frame_rate), "-i", "-"});
    // Converted and marked as BT.709, which players assume for video.
    arguments.insert(arguments.end(), {"-vf", "scale=out_color_matrix=bt709:out_range=tv", "-colorspace", "bt709"});
    arguments.insert(arguments.end(), {"-color_primaries", "bt709", "-color_trc", "bt709", "-pix_fmt", "yuv420p"});
    if (format == video_format::webm) {
        // The real-time mode at speed 6 gives the quality of the good mode's
        // speed 4 here, 11 % larger, in a seventh of the processor time.
        arguments.insert(arguments.end(), {"-c:v", "libvpx-vp9", "-crf", "31", "-b:v", "0", "-deadline", "realtime"});
        arguments.insert(arguments.end(), {"-cpu-used", "6", "-row-mt", "1", "-f", "webm"});
    } else {
        arguments.insert(arguments.end(), {"-c:v", "libx264", "-preset", "medium", "-crf", "20"});
        arguments.insert(arguments.end(), {"-movflags", "+faststart", "-f", "mp4"});
    }
    // "file:" keeps ffmpeg from taking a name such as pipe:1.webm or
    // -x.webm for a protocol or an option.
    arguments.insert(arguments.end(), {"-y", "file:" + output});
    return arguments;
}

std::string find_program(const std::string& name, const char* path_list)
{
    if (path_list == nullptr)
        return "";
    const std::string folders = path_list;
    for (std::size_t start = 0;;) {
        const std::size_t colon = folders.find(':', start);
        const std::string folder = folders.substr(start, colon == std::string::npos ? colon : colon - start);
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
        struct stat status;
        if (stat(candidate.c_str(), &status) == 0 && S_ISREG(status.st_mode) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (colon == std::string::npos)
            return "";
        start = colon + 1;
    }
}

video_encoder::~video_encoder()
{
    stop();
    if (messages_ >= 0)
        close(messages_);
}

bool video_encoder::start(const std::string& program, const std::vector<std::string>& arguments,
                          const stop_signals& signals, std::string& error)
{
    // A write to the pipe once the encoder has gone fails with EPIPE.
    signal(SIGPIPE, SIG_IGN);
    int pipe_ends[2];
    messages_ = memfd_create("encoder messages", MFD_CLOEXEC);
    if (messages_ < 0 || pipe2(pipe_ends, O_CLOEXEC) != 0) {
        error = std::string("cannot make the encoder's pipe: ") + std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_ends[0], 0);
    posix_spawn_file_actions_adddup2(&actions, messages_, 1);
    posix_spawn_file_actions_adddup2(&actions, messages_, 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults = signals.blocked();
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    std::vector<char*> argv = {const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const int result = posix_spawn(&child_, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_ends[0]);
    input_ = pipe_ends[1];
    name_ = program.substr(program.find_last_of('/') + 1);
    if (result != 0) {
        child_ = -1;
        error = "cannot start " + program + ": " + std::strerror(result);
        return false;
    }
    fcntl(input_, F_SETFL, O_NONBLOCK);
    return true;
}

video_encoder::outcome video_encoder::write(const std::vector<std::uint8_t>& bytes, stop_signals& signals,
                                            std::string& error)
{
    std::size_t written = 0;
    while (written < bytes.size()) {
        pollfd pipe = {input_, POLLOUT, 0};
        if ((stop_signal_ = signals.wait(&pipe, -1)) != 0)
            return outcome::interrupted;
        if (pipe.revents == 0)
            continue;
        const ssize_t count = ::write(input_, bytes.data() + written, bytes.size() - written);
        if (count >= 0) {
            written += static_cast<std::size_t>(count);
        } else if (errno != EAGAIN && errno != EINTR) {
            const int write_error = errno;
            close(input_);
            input_ = -1;
            if (wait_for_end(signals) == outcome::interrupted)
                return outcome::interrupted;
            error = end_described();
            if (WIFEXITED(status_) && WEXITSTATUS(status_) == 0)
                error = name_ + " stopped reading the frames (" + std::strerror(write_error) + ")";
            return outcome::failed;
        }
    }
    return outcome::done;
}

video_encoder::outcome video_encoder::finish(stop_signals& signals, std::string& error)
{
    close(input_);
    input_ = -1;
    if (wait_for_end(signals) == outcome::interrupted)
        return outcome::interrupted;
    if (WIFEXITED(status_) && WEXITSTATUS(status_) == 0)
        return outcome::done;
    error = end_described();
    return outcome::failed;
}

void video_encoder::stop()
{
    if (input_ >= 0)
        close(input_);
    input_ = -1;
    if (child_ <= 0)
        return;
    kill(child_, SIGKILL);
    while (waitpid(child_, &status_, 0) < 0 && errno == EINTR) {
    }
    child_ = -1;
}

video_encoder::outcome video_encoder::wait_for_end(stop_signals& signals)
{
    for (;;) {
        const pid_t ended = waitpid(child_, &status_, WNOHANG);
        if (ended == child_ || (ended < 0 && errno != EINTR)) {
            child_ = -1;
            return outcome::done;
        }
        // SIGCHLD wakes the wait when it has ended.
        if ((stop_signal_ = signals.wait(nullptr, -1)) != 0)
            return outcome::interrupted;
    }
}

std::string video_encoder::end_described() const
{
    std::string text = WIFSIGNALED(status_) ? name_ + " was ended by " + signal_name(WTERMSIG(status_))
                                            : name_ + " ended with exit status " + std::to_string(WEXITSTATUS(status_));
    // Its messages, at most the last 1000 bytes, on the one line.
    const off_t size = lseek(messages_, 0, SEEK_END);
    const off_t from = size > 1000 ? size - 1000 : 0;
    std::string messages(static_cast<std::size_t>(size - from), '\0');
    const ssize_t count = pread(messages_, messages.data(), messages.size(), from);
    messages.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
    // Its lines on one: a run of blanks and line ends is one space, after a
    // full stop where a line ended.
    std::string line;
    bool gap = false;
    bool line_ended = false;
    for (const char c : messages) {
        const bool line_end = c == '\n' || c == '\r';
        if (line_end || c == ' ' || c == '\t') {
            gap = true;
            line_ended |= line_end;
            continue;
        }
        if (gap && !line.empty())
            line += line_ended && line.back() != '.' ? ". " : " ";
        gap = line_ended = false;
        line += c;
    }
    if (!line.empty() && line.back() == '.')
        line.pop_back();
    return line.empty() ? text : text + ": " + line;
}
