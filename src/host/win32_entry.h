// The process entry of the saver: the command line, the start-up steps, the
// mode dispatch inside the fault guard, and the configure mode.
#pragma once

#include <windows.h>

// The graphical entry point, called by the runtime's start-up after static
// initialisation. Takes what it needs from the system and ends the process.
[[noreturn]] void saver_start();

// Start-up steps and the mode named by the command tail; the result is the
// process exit code.
int saver_main(HINSTANCE instance, const char* command_tail);

// Configure mode: the saver has no settings, so no dialog template exists
// and nothing is shown.
int configure_saver(HWND parent);
