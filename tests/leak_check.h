// Leak checking for programs that draw. The GL driver, unloaded when the
// last context ends, leaves memory that only its own data referred to, and
// LeakSanitizer would report it against a module that is gone. Such
// programs look for leaks while their context still lives instead; the
// check at exit then does not run again.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

inline void check_leaks_before_gl_teardown()
{
#if defined(__SANITIZE_ADDRESS__)
    __lsan_do_leak_check();
#endif
}
