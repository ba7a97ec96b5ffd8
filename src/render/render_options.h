// Command-line options of the headless renderer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "scene/frame.h"

// The videos velmora-render makes, by the file name's extension.
enum class video_format { webm, mp4 };

// ".webm" or ".mp4" at the end of path, in any case; nothing for another.
std::optional<video_format> video_format_of(const std::string& path);

// A video's frames a second: one a simulation step, as the saver draws them.
constexpr int video_frame_rate = 1000 / frame_period_ms;

// A video's last step when --steps is not given: the whole emergence and 6
// seconds of the still plane.
extern const std::int64_t default_video_steps;

struct render_options {
    int width = 1024;
    int height = 768;
    bool seed_given = false;
    std::uint32_t seed = 0;
    std::int64_t steps = 0;
    std::string out = "velmora.png";
    int frames = 1;
    std::int64_t every = 30;
    // Each picture after the first drawn over the one before, redrawing
    // only what changed (the pictures are the same).
    bool damage = false;
    // A video of every step from 0 to steps instead of pictures, when not
    // empty.
    std::string video;
    video_format format = video_format::webm;
    bool help = false;
    bool version = false;
};

// Reads the options after the program name. Returns false with a one-line
// message in error for an unknown option, a missing or malformed value, a
// size of zero, a negative or non-numeric number, and a video with a name of
// another extension, an odd side, or options for pictures.
bool parse_render_options(const std::vector<std::string>& arguments, render_options& options, std::string& error);

// Reads a whole decimal number within [0, limit]: no sign, no blanks, no
// other characters.
bool read_count(const std::string& text, std::int64_t limit, std::int64_t& value);

// The file of frame `index` out of `frames`: the output path itself for a
// single frame, else the path with "-NNN" before its extension.
std::string frame_path(const std::string& out, int index, int frames);

extern const char render_usage[];
