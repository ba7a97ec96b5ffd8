// The few POSIX thread functions that the statically linked C++ runtime
// calls (the exception allocator's mutex, the unwinder's one-time set-up,
// thread-local storage of the exception state), made from calls that every
// Windows since 98 has. Linked into the saver as an object, ahead of the
// runtime's own thread library, which would bring calls that Windows 98,
// Me and 2000 lack (GetTickCount64, vectored exception handlers,
// TryEnterCriticalSection, ...). The saver starts its own thread with
// CreateThread and never creates one through these.
#include <windows.h>

#include <cerrno>
#include <cstdint>

#include "host/thread_runtime_mutex.h"

namespace {

// The thread library's representations, which the runtime's static
// initialisers use: a mutex is a handle-sized value (thread_runtime_mutex.h);
// a once flag is a long that starts at 0; a key is unsigned.
using once_flag_value = long;
using key_value = unsigned int;

CRITICAL_SECTION* new_critical_section()
{
    auto* section = static_cast<CRITICAL_SECTION*>(HeapAlloc(GetProcessHeap(), 0, sizeof(CRITICAL_SECTION)));
    if (section != nullptr)
        InitializeCriticalSection(section);
    return section;
}

void free_critical_section(CRITICAL_SECTION* section)
{
    DeleteCriticalSection(section);
    HeapFree(GetProcessHeap(), 0, section);
}

// The critical section behind a mutex, made on first use when the mutex was
// initialised statically. Two threads may race to make it: one wins the
// exchange and the other frees its own.
CRITICAL_SECTION* critical_section_of(mutex_value* mutex)
{
    const mutex_value current = *mutex;
    if (mutex_is_made(current))
        return reinterpret_cast<CRITICAL_SECTION*>(current);
    CRITICAL_SECTION* made = new_critical_section();
    if (made == nullptr)
        return nullptr;
    void* before = InterlockedCompareExchangePointer(reinterpret_cast<void* volatile*>(mutex), made,
                                                     reinterpret_cast<void*>(current));
    if (before == reinterpret_cast<void*>(current))
        return made;
    free_critical_section(made);
    return static_cast<CRITICAL_SECTION*>(before);
}

}  // namespace

extern "C" {

int pthread_mutex_init(mutex_value* mutex, const void* /*attributes*/)
{
    CRITICAL_SECTION* section = new_critical_section();
    if (section == nullptr)
        return ENOMEM;
    *mutex = reinterpret_cast<mutex_value>(section);
    return 0;
}

int pthread_mutex_destroy(mutex_value* mutex)
{
    if (mutex_is_made(*mutex))
        free_critical_section(reinterpret_cast<CRITICAL_SECTION*>(*mutex));
    *mutex = -1;
    return 0;
}

int pthread_mutex_lock(mutex_value* mutex)
{
    CRITICAL_SECTION* section = critical_section_of(mutex);
    if (section == nullptr)
        return ENOMEM;
    EnterCriticalSection(section);
    return 0;
}

int pthread_mutex_unlock(mutex_value* mutex)
{
    if (!mutex_is_made(*mutex))
        return EPERM;
    LeaveCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(*mutex));
    return 0;
}

// 0: not run, 1: running, 2: done. Late callers wait for the first.
int pthread_once(once_flag_value* flag, void (*routine)())
{
    volatile once_flag_value* state = flag;
    if (InterlockedCompareExchange(state, 1, 0) == 0) {
        routine();
        InterlockedExchange(state, 2);
        return 0;
    }
    // Sleep(0) gives the processor only to threads of the waiter's own
    // priority or above, so on one processor a waiter could starve a
    // lower-priority runner for good; Sleep(1) lets any thread run. A
    // critical section to wait on would itself need a one-time set-up.
    while (*state != 2)
        Sleep(1);
    return 0;
}

// Thread-local values without destructors: the saver's threads live until
// the process ends.
int pthread_key_create(key_value* key, void (* /*destructor*/)(void*))
{
    const DWORD index = TlsAlloc();
    if (index == TLS_OUT_OF_INDEXES)
        return EAGAIN;
    *key = index;
    return 0;
}

void* pthread_getspecific(key_value key)
{
    return TlsGetValue(key);
}

int pthread_setspecific(key_value key, const void* value)
{
    return TlsSetValue(key, const_cast<void*>(value)) ? 0 : EINVAL;
}

}  // extern "C"
