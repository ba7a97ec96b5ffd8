#include "host/win32_close_rules.h"

#include <exception>

#include "host/close_rules.h"
#include "host/win32_fault_guard.h"
#include "host/win32_host_state.h"
#include "host/win32_legacy_password.h"
#include "host/win32_saver_hooks.h"

namespace {

void hide_cursor()
{
    if (!host.preview_mode)
        SetCursor(nullptr);
}

void request_close(HWND window)
{
    PostMessageA(window, WM_CLOSE, 0, 0);
}

void attach_input_method(HWND window)
{
    host.input_method_library = GetModuleHandleA("IMM32.DLL");
    if (host.input_method_library == nullptr)
        return;
    host.associate_context = find_export<associate_context_function>(host.input_method_library, "ImmAssociateContext");
    if (host.associate_context != nullptr)
        host.saved_input_context = host.associate_context(window, nullptr);
}

void restore_input_method(HWND window)
{
    if (host.input_method_library != nullptr && host.associate_context != nullptr &&
        host.saved_input_context != nullptr)
        host.associate_context(window, host.saved_input_context);
}

bool is_input_message(UINT message)
{
    switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        return true;
    default:
        return false;
    }
}

LRESULT apply_close_rules(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_SHOWWINDOW:
        if (wparam != 0)
            SetCursor(nullptr);
        break;
    case WM_ACTIVATEAPP:
        if (wparam == 0)
            request_close(window);
        break;
    case WM_SETCURSOR:
        SetCursor(nullptr);
        return 1;
    case WM_POWER:
        if (wparam == PWR_CRITICALRESUME)
            request_close(window);
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        request_close(window);
        break;
    case WM_MOUSEMOVE: {
        POINT cursor = {0, 0};
        GetCursorPos(&cursor);
        if (moved_beyond_wake_distance(host.cursor_start.x, host.cursor_start.y, cursor.x, cursor.y)) {
            request_close(window);
            host.cursor_start = cursor;
        }
        break;
    }
    case WM_POWERBROADCAST:
        switch (power_event_response(wparam, static_cast<std::uint64_t>(lparam))) {
        case power_response::grant:
            return 1;
        case power_response::close:
            request_close(window);
            break;
        case power_response::keep_going:
            break;
        }
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

LRESULT host_window_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_CREATE:
        attach_input_method(window);
        GetCursorPos(&host.cursor_start);
        hide_cursor();
        break;
    case WM_DESTROY:
        restore_input_method(window);
        PostQuitMessage(0);
        break;
    case WM_SETTEXT:
        // The title cannot be changed: a second full-screen start finds the
        // saver by it.
        return 0;
    case WM_PAINT:
        if (host.close_confirmed != 0)
            return DefWindowProcA(window, message, wparam, lparam);
        hide_cursor();
        break;
    case WM_HELP:
    case WM_CONTEXTMENU:
        if (host.preview_mode) {
            HWND parent = GetParent(window);
            if (parent != nullptr && IsWindow(parent))
                PostMessageA(parent, message, reinterpret_cast<WPARAM>(parent), lparam);
            return 1;
        }
        break;
    case WM_SYSCOMMAND:
        if (!host.preview_mode) {
            switch (wparam & 0xFFF0) {
            case SC_NEXTWINDOW:
            case SC_PREVWINDOW:
            case SC_SCREENSAVE:
                return 0;
            case SC_MONITORPOWER:
                request_close(window);
                break;
            default:
                break;
            }
        }
        break;
    case WM_TIMER:
        if (host.close_confirmed != 0)
            return 0;
        // Gives the rest of the time slice away before the frame is drawn:
        // on a single processor the worker thread gets its turn between
        // frames instead of only when the window thread blocks.
        Sleep(0);
        break;
    default:
        if (is_input_message(message) && host.close_confirmed != 0)
            return DefWindowProcA(window, message, wparam, lparam);
        break;
    }
    return saver_window_proc(window, message, wparam, lparam);
}

}  // namespace

LRESULT CALLBACK host_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    // No C++ exception may unwind into the system's frames (the 32-bit
    // build's unwinder cannot pass them): one thrown here or by the program's
    // procedure, such as an allocation failure while the scene is built in
    // WM_CREATE, ends the saver as the fault guard ends it.
    try {
        return host_window_message(window, message, wparam, lparam);
    } catch (...) {
        judge_caught_exception();
        std::terminate();
    }
}

LRESULT default_saver_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    // A preview never closes on input; it ends when it is closed from
    // outside or its parent goes.
    if (host.preview_mode || host.close_confirmed != 0)
        return DefWindowProcA(window, message, wparam, lparam);
    if (message == WM_CLOSE) {
        if (!host.legacy_platform || confirm_close(window))
            return DefWindowProcA(window, message, wparam, lparam);
        GetCursorPos(&host.cursor_start);
        return 0;
    }
    if (message == verify_password_message) {
        if (!host.legacy_platform)
            return DefWindowProcA(window, message, wparam, lparam);
        return host.verify_password == nullptr ? 1 : host.verify_password(window);
    }
    if (host.checking_password)
        return DefWindowProcA(window, message, wparam, lparam);
    return apply_close_rules(window, message, wparam, lparam);
}
