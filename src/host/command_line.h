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
