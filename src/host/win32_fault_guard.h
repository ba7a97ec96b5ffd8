// The fault guard of the saver's main thread: a fault or C++ exception that
// no frame handled ends the saver with exit code -1 when the system's
// verdict is to handle it, instead of the system's crash report.
#pragma once

#include <windows.h>

// Runs body(command_tail) on this thread inside the guard; returns its
// result.
int run_guarded(int (*body)(const char*), const char* command_tail);

// For a C++ exception caught on the main thread where it would otherwise
// unwind into the system's frames (a window procedure, the dispatch): judged
// as the fault guard judges a fault. When the verdict is to handle it, the
// saver ends here with -1 and no longer counts as running; otherwise this
// returns and the caller lets the exception end the process.
void judge_caught_exception();
