// The command line of the X11 front-end, in the conventions of XScreenSaver
// hacks. Pure: no X11 here, so that every rule can be tested without a display.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Where the picture goes.
enum class x11_target {
    new_window,  // a top-level window of our own (no option, or -window)
    root,        // $XSCREENSAVER_WINDOW, else the root window (-root)
    window_id,   // an existing window named on the command line (-window-id)
};

struct x11_options {
    x11_target target = x11_target::new_window;
    unsigned long window_id = 0;  // with x11_target::window_id
    bool show_fps = false;
    std::optional<std::uint32_t> seed;  // the calendar time when absent
    bool show_help = false;
    bool show_version = false;
};

struct parsed_x11_options {
    x11_options options;
    std::string error;  // one line; empty when the command line is good
};

// Every flag is accepted with one dash or two, in any order. -root together
// with -window-id draws into the named window, as every stock hack does (the
// settings preview appends -window-id to the daemon's -root command); -window
// with either of them, or -window-id naming two windows, is an error.
// Repeating a flag is harmless.
parsed_x11_options parse_x11_options(const std::vector<std::string>& arguments);

// Decimal or 0x hexadecimal, at most 32 bits, not 0 (X's "no window"). No
// sign, blanks or trailing characters.
std::optional<unsigned long> parse_window_id(const std::string& text);

// The usage text for --help.
std::string x11_usage(const std::string& program);
