// The command line of velmora, on X11 or Wayland, in the conventions of
// XScreenSaver hacks, and the choice of display server. Pure: no window
// system here, so that every rule can be tested without a display.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Where the picture goes.
enum class hack_target {
    new_window,  // a top-level window of our own (no option, or -window)
    root,        // X11: $XSCREENSAVER_WINDOW, else the root window; Wayland:
                 // every output (-root)
    window_id,   // an existing X window named on the command line (-window-id)
};

// The display server asked for on the command line.
enum class display_server {
    automatic,  // Wayland where it can be and is reachable, else X11
    x11,        // -x11
    wayland,    // -wayland
};

struct hack_options {
    hack_target target = hack_target::new_window;
    unsigned long window_id = 0;  // with hack_target::window_id
    display_server server = display_server::automatic;
    bool show_fps = false;
    std::optional<std::uint32_t> seed;  // the calendar time when absent
    bool show_help = false;
    bool show_version = false;
};

struct parsed_hack_options {
    hack_options options;
    std::string error;  // one line; empty when the command line is good
};

// Every flag is accepted with one dash or two, in any order. -root together
// with -window-id draws into the named window, as every stock hack does (the
// settings preview appends -window-id to the daemon's -root command); -window
// with either of them, or -window-id naming two windows, is an error.
// Repeating a flag is harmless.
parsed_hack_options parse_hack_options(const std::vector<std::string>& arguments);

// Decimal or 0x hexadecimal, at most 32 bits, not 0 (X's "no window"). No
// sign, blanks or trailing characters.
std::optional<unsigned long> parse_window_id(const std::string& text);

// The usage text for --help.
std::string hack_usage(const std::string& program);

// How a run picks its display server, as GLFW does: Wayland when the
// environment names a compositor (WAYLAND_DISPLAY) and nothing X11-only is
// asked (-window-id, XSCREENSAVER_WINDOW); X11 otherwise. -x11 and -wayland
// force either.
enum class server_choice {
    x11,
    wayland,           // a failure to reach the compositor ends the run
    wayland_else_x11,  // an unreachable compositor gives way to X11
};
server_choice choose_display_server(const hack_options& options, const std::string& wayland_display,
                                    const std::string& xscreensaver_window);

// Prints "velmora: MESSAGE" on standard error; returns the exit status 1.
int report_error(const std::string& message);
