// What the program supplies to the host: its procedure for the saver window
// and the two hooks of the configuration dialog.
#pragma once

#include <windows.h>

// The program's procedure for the saver window; every message that it does
// not handle goes to default_saver_proc.
LRESULT saver_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Called before the configuration dialog; false cancels it.
bool register_dialog_classes(HINSTANCE instance);

INT_PTR CALLBACK configure_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
