// The program ffmpeg as the video encoder: a child process, started without
// a shell, that reads raw RGBA frames from a pipe and writes the video file.
// Its messages are kept (in memory) for the line that reports a failure.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "render/render_options.h"

class stop_signals;

// ffmpeg's arguments (after the program's name) for frames of width x height
// pixels, RGBA rows from the top down, frame_rate a second, into output.
std::vector<std::string> encoder_arguments(video_format format, int width, int height, int frame_rate,
                                           const std::string& output);

// The first executable file called name in the folders of path_list, as
// PATH lists them (an empty one is the current folder); "" when none has it.
std::string find_program(const std::string& name, const char* path_list);

class video_encoder {
public:
    enum class outcome { done, interrupted, failed };

    video_encoder() = default;
    // Ends an encoder still running, as stop().
    ~video_encoder();
    video_encoder(const video_encoder&) = delete;
    video_encoder& operator=(const video_encoder&) = delete;

    // Starts program with arguments, its standard input the pipe, in a
    // process group of its own (Ctrl-C on the terminal reaches this process,
    // which ends the encoder), with the signals that signals blocks
    // unblocked.
    bool start(const std::string& program, const std::vector<std::string>& arguments, const stop_signals& signals,
               std::string& error);

    // Writes the bytes whole. Interrupted when a stop signal comes while it
    // waits; failed, with the encoder's end and messages in error, when the
    // encoder stops reading.
    outcome write(const std::vector<std::uint8_t>& bytes, stop_signals& signals, std::string& error);

    // Closes the pipe and waits for the encoder: done when it exits with 0.
    outcome finish(stop_signals& signals, std::string& error);

    // Ends the encoder at once (SIGKILL) and waits for it.
    void stop();

    // The signal that interrupted write or finish.
    int stop_signal() const { return stop_signal_; }

private:
    outcome wait_for_end(stop_signals& signals);
    std::string end_described() const;

    std::string name_;
    pid_t child_ = -1;
    int input_ = -1;
    int messages_ = -1;
    int status_ = 0;
    int stop_signal_ = 0;
};
