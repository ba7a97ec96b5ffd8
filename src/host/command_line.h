// The command line that the screen-saver machinery starts the saver with:
// the program name to skip, the mode switch and its window handle. Pure text
// handling, so that it can be tested and fuzzed away from Windows.
#pragma once

#include <cstdint>

enum class saver_mode {
    run_full_screen,
    preview,                   // handle: the parent window
    configure,                 // handle after ':' or 0; an invalid one means the foreground window
    configure_without_parent,  // the tail is empty
    change_password,           // handle: the parent window, or 0
    bad_switch,
};

struct saver_switch {
    saver_mode mode;
    std::uint32_t handle;
};

// Steps over one character of the text; the end of the text is not passed.
using next_character_function = const char* (*)(const char* text);

// Steps one byte forward: one character in single-byte code pages.
const char* next_byte(const char* text);

// The command tail: the command line without the program name (a quoted one
// up to and including its closing quote, else everything above 0x20) and
// without the bytes 0x01 to 0x20 that follow it. Inside quotes, next steps
// over one character, so that a double-byte character is stepped over whole.
const char* command_tail(const char* command_line, next_character_function next = next_byte);

// The decimal number at the start of text, wrapping modulo 2^32; no sign is
// accepted and text that does not begin with a digit reads as 0.
std::uint32_t read_decimal(const char* text);

// The mode named by the first switch letter of the tail, after any ' ', '-'
// or '/', with its window handle.
saver_switch read_switch(const char* tail);

// What the entry does for a command tail.
enum class saver_action {
    run_saver,              // full screen (parent 0) or preview in parent
    configure_saver,        // in parent, or in the foreground window
    change_saver_password,  // in parent, or in the foreground window; then 0
    refuse,                 // end with -1 at once, no window
};

struct saver_dispatch {
    saver_mode mode;
    saver_action action;
    std::uint32_t parent;    // 0: no parent window
    bool foreground_parent;  // the parent is the foreground window instead
    bool exit_code_decided;  // false: the action's own result is the exit code
    int exit_code;           // 0 or -1 when decided
};

// Whether a handle names an existing window (IsWindow on Windows).
using window_exists_function = bool (*)(std::uint32_t handle);

// The dispatch of the entry as data: the mode, the window it uses and the
// exit code where the mode alone fixes it. No platform call is made.
saver_dispatch plan_dispatch(const char* tail, bool legacy_platform, window_exists_function window_exists);
