// The saver window's class procedure and the default procedure with the
// close rules: what input and system events do before the window may close
// (on the Windows 95/98/Me family after the password check).
#pragma once

#include <windows.h>

// The procedure of the window class: input method, cursor, refused system
// commands and the end of the message loop; the rest goes on to
// saver_window_proc.
LRESULT CALLBACK host_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Where saver_window_proc sends every message it does not handle itself.
LRESULT default_saver_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
