// The saver window procedure of the fault-inducing test build
// velmora-fault.scr: the real host around a window that, on its first frame
// timer at least VELMORA_FAULT_AFTER_MS (default 0) after its creation,
// faults as VELMORA_FAULT says:
//   access     writes through a null pointer on the window thread
//   bad_alloc  throws std::bad_alloc on the window thread
//   bad_alloc_at_create  throws std::bad_alloc in WM_CREATE, where the real
//              saver builds its scene
//   worker     writes through a null pointer on another thread
//   none       no fault: the window closes on input as usual
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "host/win32_close_rules.h"
#include "host/win32_saver_hooks.h"
#include "scene/frame.h"

namespace {

bool faulted = false;
DWORD created_at = 0;

DWORD fault_delay_ms()
{
    const char* delay = std::getenv("VELMORA_FAULT_AFTER_MS");
    return delay != nullptr ? static_cast<DWORD>(std::strtoul(delay, nullptr, 10)) : 0;
}

void write_through_null()
{
    *static_cast<volatile int*>(nullptr) = 1;
}

DWORD WINAPI faulting_thread(void*)
{
    write_through_null();
    return 0;
}

void fault_as_told()
{
    const char* kind = std::getenv("VELMORA_FAULT");
    if (kind == nullptr || std::strcmp(kind, "none") == 0)
        return;
    if (std::strcmp(kind, "access") == 0)
        write_through_null();
    else if (std::strcmp(kind, "bad_alloc") == 0)
        throw std::bad_alloc();
    else if (std::strcmp(kind, "worker") == 0)
        CreateThread(nullptr, 0, faulting_thread, nullptr, 0, nullptr);
}

}  // namespace

LRESULT saver_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_CREATE:
        if (const char* kind = std::getenv("VELMORA_FAULT");
            kind != nullptr && std::strcmp(kind, "bad_alloc_at_create") == 0)
            throw std::bad_alloc();
        created_at = GetTickCount();
        SetTimer(window, 1, frame_period_ms, nullptr);
        return 0;
    case WM_TIMER:
        if (!faulted && GetTickCount() - created_at >= fault_delay_ms()) {
            faulted = true;
            fault_as_told();
        }
        return 0;
    case WM_DESTROY:
        KillTimer(window, 1);
        return 0;
    default:
        return default_saver_proc(window, message, wparam, lparam);
    }
}

bool register_dialog_classes(HINSTANCE)
{
    return true;
}

INT_PTR CALLBACK configure_dialog_proc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}
