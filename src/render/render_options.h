// Command-line options of the headless renderer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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
    bool help = false;
    bool version = false;
};

// Reads the options after the program name. Returns false with a one-line
// message in error for an unknown option, a missing or malformed value, a
// size of zero, or a negative or non-numeric number.
bool parse_render_options(const std::vector<std::string>& arguments, render_options& options, std::string& error);

// Reads a whole decimal number within [0, limit]: no sign, no blanks, no
// other characters.
bool read_count(const std::string& text, std::int64_t limit, std::int64_t& value);

// The file of frame `index` out of `frames`: the output path itself for a
// single frame, else the path with "-NNN" before its extension.
std::string frame_path(const std::string& out, int index, int frames);

extern const char render_usage[];
