#include "render/render_options.h"

#include <cctype>
#include <cstdio>

#include "options/command_words.h"
#include "plane/plane_region.h"
#include "scene/ball_camera.h"

const std::int64_t default_video_steps =
    std::int64_t{plane_region::max_passes} * ball_camera::cycle_steps + 6 * video_frame_rate;

const char render_usage[] =
    "usage: velmora-render [--size WxH] [--seed N] [--steps N] [--out FILE.png] [--frames K --every N] [--damage]\n"
    "       velmora-render --video FILE.webm|FILE.mp4 [--size WxH] [--seed N] [--steps N]\n"
    "       velmora-render --version\n"
    "  --size WxH     picture size in pixels (default 1024x768)\n"
    "  --seed N       random seed, 0 to 4294967295 (default: the time, as the saver)\n"
    "  --steps N      simulation steps before the first picture (default 0)\n"
    "  --out FILE     output PNG (default velmora.png); with --frames K > 1 the\n"
    "                 pictures are FILE-000.png, FILE-001.png, ...\n"
    "  --frames K     number of pictures (default 1)\n"
    "  --every N      simulation steps between two pictures (default 30)\n"
    "  --damage       draw each picture after the first over the one before, only\n"
    "                 where something changed (the same pictures, drawn sooner)\n"
    "  --video FILE   a video of every step from 0 to --steps (default 3000: the\n"
    "                 whole emergence and 6 s more) at 20 frames a second, as the\n"
    "                 saver shows them; VP9 for .webm, H.264 for .mp4, encoded by\n"
    "                 the program ffmpeg; an even width and height\n";

namespace {

constexpr std::int64_t max_side = 16384;
constexpr std::int64_t max_steps = 100000000;

bool parse_size(const std::string& text, int& width, int& height)
{
    const auto x = text.find('x');
    if (x == std::string::npos)
        return false;
    std::int64_t w = 0;
    std::int64_t h = 0;
    if (!read_count(text.substr(0, x), max_side, w) || !read_count(text.substr(x + 1), max_side, h))
        return false;
    if (w == 0 || h == 0)
        return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

}  // namespace

bool read_count(const std::string& text, std::int64_t limit, std::int64_t& value)
{
    // Longer texts are refused even when their leading zeros keep them small.
    if (text.size() > 18 || limit < 0)
        return false;
    const auto result = read_whole_number(text, 10, static_cast<std::uint64_t>(limit));
    if (!result)
        return false;
    value = static_cast<std::int64_t>(*result);
    return true;
}

namespace {

// The options without a value; false for any other.
bool read_flag(const std::string& option, render_options& options)
{
    if (option == "--help" || option == "-h")
        options.help = true;
    else if (option == "--version")
        options.version = true;
    else if (option == "--damage")
        options.damage = true;
    else
        return false;
    return true;
}

// The value of a known option with one.
bool read_value(const std::string& option, const std::string& value, render_options& options, std::string& error)
{
    std::int64_t number = 0;
    if (option == "--size") {
        if (!parse_size(value, options.width, options.height)) {
            error = "--size needs WIDTHxHEIGHT with whole numbers from 1 to 16384, not " + quoted(value);
            return false;
        }
    } else if (option == "--seed") {
        const auto seed = read_seed(value);
        if (!seed) {
            error = seed_error(value);
            return false;
        }
        options.seed = *seed;
        options.seed_given = true;
    } else if (option == "--steps" || option == "--every") {
        if (!read_count(value, max_steps, number)) {
            error = option + " needs a whole number from 0 to 100000000, not " + quoted(value);
            return false;
        }
        (option == "--steps" ? options.steps : options.every) = number;
    } else if (option == "--frames") {
        if (!read_count(value, 100000, number) || number == 0) {
            error = "--frames needs a whole number from 1 to 100000, not " + quoted(value);
            return false;
        }
        options.frames = static_cast<int>(number);
    } else if (option == "--video") {
        const auto format = video_format_of(value);
        if (!format) {
            error = "--video needs a file name ending in .webm or .mp4, not " + quoted(value);
            return false;
        }
        options.video = value;
        options.format = *format;
    } else {
        if (value.empty()) {
            error = "--out needs a file name";
            return false;
        }
        options.out = value;
    }
    return true;
}

// What a video allows beside it, once every option is read; picture_option
// is the first option for pictures given, if any.
bool check_video(render_options& options, const std::string& picture_option, bool steps_given, std::string& error)
{
    if (!picture_option.empty()) {
        error = "--video makes one video: " + picture_option + " is for pictures";
        return false;
    }
    if (options.width % 2 != 0 || options.height % 2 != 0) {
        error = "--video needs an even width and height (the video's colour is kept for 2 x 2 pixels), not " +
                std::to_string(options.width) + "x" + std::to_string(options.height);
        return false;
    }
    if (!steps_given)
        options.steps = default_video_steps;
    return true;
}

}  // namespace

bool parse_render_options(const std::vector<std::string>& arguments, render_options& options, std::string& error)
{
    std::string picture_option;
    bool steps_given = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        if (read_flag(option, options))
            continue;
        const bool for_pictures = option == "--out" || option == "--frames" || option == "--every";
        const bool known =
            for_pictures || option == "--size" || option == "--seed" || option == "--steps" || option == "--video";
        if (!known) {
            error = "unknown option " + quoted(option);
            return false;
        }
        if (i + 1 >= arguments.size()) {
            error = option + " needs a value";
            return false;
        }
        if (!read_value(option, arguments[++i], options, error))
            return false;
        if (for_pictures && picture_option.empty())
            picture_option = option;
        steps_given |= option == "--steps";
    }
    return options.video.empty() || check_video(options, picture_option, steps_given, error);
}

std::optional<video_format> video_format_of(const std::string& path)
{
    const auto ends_with = [&](const std::string& extension) {
        if (path.size() < extension.size())
            return false;
        for (std::size_t i = 0; i < extension.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(path[path.size() - extension.size() + i])) != extension[i])
                return false;
        return true;
    };
    if (ends_with(".webm"))
        return video_format::webm;
    if (ends_with(".mp4"))
        return video_format::mp4;
    return std::nullopt;
}

std::string frame_path(const std::string& out, int index, int frames)
{
    if (frames <= 1)
        return out;
    char number[16];
    std::snprintf(number, sizeof number, "-%03d", index);
    const auto slash = out.find_last_of('/');
    const auto dot = out.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == 0 ||
        (slash != std::string::npos && dot == slash + 1))
        return out + number;
    return out.substr(0, dot) + number + out.substr(dot);
}
