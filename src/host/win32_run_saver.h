// The saver window in its two visible modes, the single-instance rule, the
// password component of the Windows 95/98/Me family and the message loop.
#pragma once

#include <windows.h>

constexpr const char* saver_class_name = "WindowsScreenSaverClass";
constexpr const char* full_screen_title = "Screen Saver";

// Runs full screen (no parent) or as a preview child of parent until the
// window is destroyed; returns the exit code.
int run_saver(HWND parent);

// Loads "PASSWORD.CPL" when the desktop settings ask for a password.
void load_password_verifier();
void unload_password_verifier();

// Tells the system whether a screen saver is running (legacy family only).
void set_saver_running(bool running);
