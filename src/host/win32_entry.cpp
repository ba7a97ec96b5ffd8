#include "host/win32_entry.h"

#include <commctrl.h>

#include "host/command_line.h"
#include "host/win32_host_state.h"
#include "host/win32_run_saver.h"
#include "host/win32_saver_hooks.h"

namespace {

constexpr int failure_exit_code = -1;

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

// The fault guard. GCC has no __try/__except, so the guard is the process's
// top-level exception filter while the dispatch runs: it sees exactly the
// faults that no frame of the main thread handled. C++ exceptions never get
// that far (the runtime's start-up continues them into std::terminate), so
// the dispatch also catches them and hands them to the same judgement.
LPTOP_LEVEL_EXCEPTION_FILTER filter_before_guard = nullptr;
DWORD guarded_thread_id = 0;

// The code under which a C++ exception is judged.
constexpr DWORD cxx_exception_code = 0x20474343;

// Asks the system's UnhandledExceptionFilter for the verdict. When that is to
// handle the fault, the saver ends here as the guarded block's handler
// would: no longer a running saver, exit code -1, and nothing the fault
// interrupted is run again. Otherwise the verdict is returned.
LONG judge_fault(EXCEPTION_POINTERS* exception)
{
    // With no top-level filter in place, UnhandledExceptionFilter gives the
    // system's own verdict and does not come back to the guard.
    const LPTOP_LEVEL_EXCEPTION_FILTER guard = SetUnhandledExceptionFilter(nullptr);
    const LONG verdict = UnhandledExceptionFilter(exception);
    if (verdict != EXCEPTION_EXECUTE_HANDLER) {
        SetUnhandledExceptionFilter(guard);
        return verdict;
    }
    set_saver_running(false);
    ExitProcess(static_cast<UINT>(failure_exit_code));
}

LONG WINAPI fault_guard_filter(EXCEPTION_POINTERS* exception)
{
    // Faults of other threads (the scene's worker) are not guarded.
    if (GetCurrentThreadId() != guarded_thread_id)
        return filter_before_guard != nullptr ? filter_before_guard(exception) : EXCEPTION_CONTINUE_SEARCH;
    return judge_fault(exception);
}

int guarded_dispatch(const char* command_tail)
{
    guarded_thread_id = GetCurrentThreadId();
    filter_before_guard = SetUnhandledExceptionFilter(fault_guard_filter);
    int result = failure_exit_code;
    try {
        result = dispatch(command_tail);
    } catch (...) {
        judge_caught_exception();
        // Any other verdict leaves the exception to the ordinary handling.
        throw;
    }
    SetUnhandledExceptionFilter(filter_before_guard);
    return result;
}

}  // namespace

void judge_caught_exception()
{
    // The context is left empty: the verdict does not depend on it, and the
    // call that captures the current one is missing before Windows XP.
    EXCEPTION_RECORD record = {};
    record.ExceptionCode = cxx_exception_code;
    record.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
    CONTEXT context = {};
    EXCEPTION_POINTERS pointers = {&record, &context};
    judge_fault(&pointers);
}

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
    return guarded_dispatch(command_tail);
}

int configure_saver(HWND parent)
{
    if (!register_dialog_classes(host.host_instance))
        return 0;
    constexpr WORD configure_dialog_template = 2003;
    return static_cast<int>(DialogBoxParamA(host.host_instance, MAKEINTRESOURCEA(configure_dialog_template), parent,
                                            configure_dialog_proc, 0));
}

void change_saver_password(HWND parent)
{
    using change_password_function = DWORD(WINAPI*)(LPCSTR provider, HWND parent, DWORD reserved, void* more);
    HMODULE library = LoadLibraryA("MPR.DLL");
    if (library == nullptr)
        return;
    auto change_password = find_export<change_password_function>(library, "PwdChangePasswordA");
    if (change_password != nullptr)
        change_password("SCRSAVE", parent, 0, nullptr);
    FreeLibrary(library);
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    saver_start();
}
