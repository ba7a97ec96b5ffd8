// The password component of the Windows 95/98/Me family: the system's
// PASSWORD.CPL asked before the full-screen saver closes, the system told
// that a saver runs, and the change-password mode through MPR.DLL. On the
// NT family every call here does nothing.
#pragma once

#include <windows.h>

// Asks the password component whether the saver may close (WM_APP).
constexpr UINT verify_password_message = 0x8000;

// Loads "PASSWORD.CPL" when the desktop settings ask for a password.
void load_password_verifier();
void unload_password_verifier();

// Tells the system whether a screen saver is running (legacy family only).
void set_saver_running(bool running);

// On the legacy family: true when the window may close now, asking the
// password component when a password is in force.
bool confirm_close(HWND window);

// Change-password mode of the legacy family, through "MPR.DLL".
void change_saver_password(HWND parent);
