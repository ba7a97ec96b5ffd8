#include "host/win32_fault_guard.h"

#include "host/win32_legacy_password.h"

namespace {

constexpr int failure_exit_code = -1;

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

}  // namespace

int run_guarded(int (*body)(const char*), const char* command_tail)
{
    guarded_thread_id = GetCurrentThreadId();
    filter_before_guard = SetUnhandledExceptionFilter(fault_guard_filter);
    int result = failure_exit_code;
    try {
        result = body(command_tail);
    } catch (...) {
        judge_caught_exception();
        // Any other verdict leaves the exception to the ordinary handling.
        throw;
    }
    SetUnhandledExceptionFilter(filter_before_guard);
    return result;
}

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
