// Linked into every program of the 32-bit Linux build (cmake/linux-i686.cmake).
// glibc on i386 starts a program with the x87 unit rounding to 64 bits
// (extended precision); the project's doubles must round to 53 bits, as the
// 64-bit build's SSE unit does and the 32-bit Windows saver's runtime sets,
// and with -ffloat-store a float result rounds once, exactly, only when the
// unit's precision is no wider than double's. Linux gives a new thread its
// creator's control word, so setting it before main covers every thread the
// program starts later (tests/linux_x86 checks both).
#include <fpu_control.h>

namespace {

// Priority 101, the first a program may use: before any static constructor
// of the program can compute.
__attribute__((constructor(101))) void round_doubles_to_53_bits()
{
    fpu_control_t word = 0;
    _FPU_GETCW(word);
    word = static_cast<fpu_control_t>((word & ~static_cast<fpu_control_t>(_FPU_EXTENDED)) | _FPU_DOUBLE);
    _FPU_SETCW(word);
}

}  // namespace
