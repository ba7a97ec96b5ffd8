#include "host/win32_entry.h"

#include <commctrl.h>

#include "host/command_line.h"
#include "host/win32_fault_guard.h"
#include "host/win32_host_state.h"
#include "host/win32_legacy_password.h"
#include "host/win32_run_saver.h"
#include "host/win32_saver_hooks.h"

namespace {

const char* next_character(const char* text)
{
    return CharNextA(text);
}

// Window handles travel as decimal numbers of 32 bits.
HWND handle_window(std::uint32_t handle)
{
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(handle));
}

bool window_exists(std::uint32_t handle)
{
    return IsWindow(handle_window(handle)) != FALSE;
}

void enable_heap_termination_on_corruption()
{
    using heap_set_information_function = BOOL(WINAPI*)(HANDLE, int, void*, SIZE_T);
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    if (kernel == nullptr)
        return;
    auto heap_set_information = find_export<heap_set_information_function>(kernel, "HeapSetInformation");
    constexpr int heap_enable_termination_on_corruption = 1;
    if (heap_set_information != nullptr)
        heap_set_information(nullptr, heap_enable_termination_on_corruption, nullptr, 0);
}

// InitCommonControlsEx is missing from COMCTL32 before 4.70 (Windows 95
// without Internet Explorer 3, NT 4.0), so it is looked up rather than
// imported: an import the system lacks stops the saver loading at all.
// InitCommonControls, in every version, keeps COMCTL32 imported.
void init_common_controls()
{
    using init_common_controls_ex_function = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    InitCommonControls();
    auto init_common_controls_ex =
        find_export<init_common_controls_ex_function>(GetModuleHandleA("COMCTL32.DLL"), "InitCommonControlsEx");
    const INITCOMMONCONTROLSEX common_controls = {sizeof(INITCOMMONCONTROLSEX), ICC_TAB_CLASSES};
    if (init_common_controls_ex != nullptr)
        init_common_controls_ex(&common_controls);
}

bool is_legacy_platform()
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

// The plan comes from the same pure code that the tests and the fuzzer
// drive; only the window checks and the modes themselves are Win32 here.
int dispatch(const char* command_tail)
{
    const saver_dispatch plan = plan_dispatch(command_tail, host.legacy_platform, window_exists);
    HWND parent = plan.foreground_parent ? GetForegroundWindow() : handle_window(plan.parent);
    switch (plan.action) {
    case saver_action::run_saver:
        return run_saver(parent);
    case saver_action::configure_saver:
        return configure_saver(parent);
    case saver_action::change_saver_password:
        change_saver_password(parent);
        return plan.exit_code;
    case saver_action::refuse:
        break;
    }
    return plan.exit_code;
}

}  // namespace

void saver_start()
{
    const char* tail = command_tail(GetCommandLineA(), next_character);
    const int result = saver_main(GetModuleHandleA(nullptr), tail);
    // No static destructors and no exit handlers: the worker thread ends
    // with the process.
    ExitProcess(static_cast<UINT>(result));
}

int saver_main(HINSTANCE instance, const char* command_tail)
{
    enable_heap_termination_on_corruption();
    init_common_controls();
    host.host_instance = instance;
    host.legacy_platform = is_legacy_platform();
    return run_guarded(dispatch, command_tail);
}

int configure_saver(HWND parent)
{
    if (!register_dialog_classes(host.host_instance))
        return 0;
    constexpr WORD configure_dialog_template = 2003;
    return static_cast<int>(DialogBoxParamA(host.host_instance, MAKEINTRESOURCEA(configure_dialog_template), parent,
                                            configure_dialog_proc, 0));
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    saver_start();
}
