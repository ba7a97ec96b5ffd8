// Sets the x87 unit's precision control to 24 bits for the guard's life and
// restores the control word it found. Where floats are not computed on the
// x87 unit (every build but the 32-bit ones) it does nothing.
//
// At 24 bits every +, -, * and / rounds to the float result, except where
// that result is subnormal or beyond float's range: the x87 unit keeps its
// wider exponent. Code run under the guard must rule both out, and must read
// its inputs from memory and write its results to memory inside the guard's
// scope: the control word's loads are ordered against memory only.
#pragma once

class x87_single_precision {
public:
#if defined(__i386__) && !defined(__SSE_MATH__)
    x87_single_precision()
    {
        __asm__ __volatile__("fnstcw %0" : "=m"(saved) : : "memory");
        const unsigned short single = static_cast<unsigned short>(saved & ~0x300u);
        __asm__ __volatile__("fldcw %0" : : "m"(single) : "memory");
    }
    ~x87_single_precision()
    {
        __asm__ __volatile__("fldcw %0" : : "m"(saved) : "memory");
    }

private:
    unsigned short saved;
#else
    x87_single_precision()
    {}
#endif
    x87_single_precision(const x87_single_precision&) = delete;
    x87_single_precision& operator=(const x87_single_precision&) = delete;
};
