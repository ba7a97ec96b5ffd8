// The saver window in its two visible modes, the single-instance rule and
// the message loop.
#pragma once

#include <windows.h>

constexpr const char* saver_class_name = "WindowsScreenSaverClass";
constexpr const char* full_screen_title = "Screen Saver";

// Runs full screen (no parent) or as a preview child of parent until the
// window is destroyed; returns the exit code.
int run_saver(HWND parent);
