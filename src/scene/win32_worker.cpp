// The worker's platform parts with the system's own calls, which every
// Windows since 95 has: a thread from CreateThread, a critical section,
// Sleep, and the performance counter as the clock.
#include <windows.h>

#include <float.h>

#include <cstdint>

#include "scene/worker.h"

namespace {

CRITICAL_SECTION& critical_section(unsigned char* storage)
{
    return *reinterpret_cast<CRITICAL_SECTION*>(storage);
}

// Raised on the worker thread for a C++ exception that reached its routine:
// no exception may unwind into the system's frames, and a failure of the
// worker is left to the system, as its faults are.
constexpr DWORD worker_failure_code = 0xE0564D57;

DWORD WINAPI worker_routine(void* scene)
{
#if defined(__i386__)
    // The 32-bit build computes doubles on the x87 unit: rounded to 53 bits,
    // as the 64-bit build's SSE2 unit rounds them, whatever precision the
    // thread started with.
    _controlfp(_PC_53, _MCW_PC);
#endif
    try {
        worker_main(static_cast<ball_camera*>(scene));
    } catch (...) {
        RaiseException(worker_failure_code, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    }
    return 0;
}

}  // namespace

scene_lock::scene_lock()
{
    static_assert(sizeof(CRITICAL_SECTION) <= sizeof storage, "room for the critical section");
    InitializeCriticalSection(&critical_section(storage));
}

scene_lock::~scene_lock()
{
    DeleteCriticalSection(&critical_section(storage));
}

void scene_lock::acquire()
{
    EnterCriticalSection(&critical_section(storage));
}

void scene_lock::release()
{
    LeaveCriticalSection(&critical_section(storage));
}

std::uint32_t scene_worker::start(ball_camera* scene)
{
    DWORD id = 0;
    // A thread that cannot be created leaves the scene unstepped; the window
    // goes on drawing it.
    thread = CreateThread(nullptr, 0, worker_routine, scene, 0, &id);
    return thread != nullptr ? static_cast<std::uint32_t>(id) : 0;
}

void scene_worker::stop()
{
    stopping = true;
    if (thread == nullptr)
        return;
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    thread = nullptr;
}

std::uintptr_t calling_thread_id()
{
    return GetCurrentThreadId();
}

std::int64_t monotonic_microseconds()
{
    LARGE_INTEGER frequency;
    LARGE_INTEGER count;
    if (QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0 && QueryPerformanceCounter(&count)) {
        const std::int64_t whole = count.QuadPart / frequency.QuadPart;
        const std::int64_t part = count.QuadPart % frequency.QuadPart;
        return whole * 1000000 + part * 1000000 / frequency.QuadPart;
    }
    // Without a performance counter: the tick count, which wraps every 49.7
    // days; the worker treats a clock that went back as no time passed.
    return static_cast<std::int64_t>(GetTickCount()) * 1000;
}

void sleep_milliseconds(int milliseconds)
{
    Sleep(static_cast<DWORD>(milliseconds));
}
