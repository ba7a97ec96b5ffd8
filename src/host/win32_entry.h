// The process entry of the saver: the command line, the start-up steps, the
// mode dispatch inside the fault guard, and the configure and
// change-password modes.
#pragma once

#include <windows.h>

// The graphical entry point, called by the runtime's start-up after static
// initialisation. Takes what it needs from the system and ends the process.
[[noreturn]] void saver_start();

// Start-up steps and the mode named by the command tail; the result is the
// process exit code.
int saver_main(HINSTANCE instance, const char* command_tail);

// For a C++ exception caught on the main thread where it would otherwise
// unwind into the system's frames (a window procedure, the dispatch): judged
// as the fault guard judges a fault. When the verdict is to handle it, the
// saver ends here with -1 and no longer counts as running; otherwise this
// returns and the caller lets the exception end the process.
void judge_caught_exception();

// Configure mode: the saver has no settings, so no dialog template exists
// and nothing is shown.
int configure_saver(HWND parent);

// Change-password mode of the legacy family, through "MPR.DLL".
void change_saver_password(HWND parent);
