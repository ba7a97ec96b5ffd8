// The host's program-wide values, shared by the entry routine, the saver
// window and the close rules. Used on the main thread only.
#pragma once

#include <windows.h>

// An optional export, looked up at run time: null when the module or the
// function is missing, so that the feature it serves is switched off.
template <typename function>
function find_export(HMODULE module, const char* name)
{
    if (module == nullptr)
        return nullptr;
    // Through void*: a FARPROC does not convert to another function pointer
    // type without a warning.
    return reinterpret_cast<function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

using verify_password_function = BOOL(WINAPI*)(HWND window);
// ImmAssociateContext: the window and the input context to give it (null
// detaches); returns the context it had before.
using associate_context_function = HANDLE(WINAPI*)(HWND window, HANDLE input_context);

struct host_state {
    HINSTANCE host_instance = nullptr;
    // The Windows 95/98/Me family, where the saver checks passwords itself.
    bool legacy_platform = false;

    HWND host_window = nullptr;
    bool preview_mode = false;
    HMODULE password_library = nullptr;
    verify_password_function verify_password = nullptr;

    LONG close_confirmed = 0;
    bool checking_password = false;
    DWORD last_password_check = 0xFFFFFFFFu;
    POINT cursor_start = {0, 0};
    HMODULE input_method_library = nullptr;
    associate_context_function associate_context = nullptr;
    HANDLE saved_input_context = nullptr;
};

extern host_state host;
