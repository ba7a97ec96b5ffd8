// The saver window's class procedure and the default procedure with the
// close rules: what input and system events do, and the password check of
// the Windows 95/98/Me family before the window may close.
#pragma once

#include <windows.h>

// Asks the password component whether the saver may close (WM_APP).
constexpr UINT verify_password_message = 0x8000;

// The procedure of the window class: input method, cursor, refused system
// commands and the end of the message loop; the rest goes on to
// saver_window_proc.
LRESULT CALLBACK host_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Where saver_window_proc sends every message it does not handle itself.
LRESULT default_saver_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// On the legacy family: true when the window may close now, asking the
// password component when a password is in force.
bool confirm_close(HWND window);
