// The 32-bit Linux build's doubles round to 53 bits on the x87 unit, on the
// main thread and on threads it starts, as src/linux_i686 sets at start-up.
#include <fpu_control.h>
#include <gtest/gtest.h>

#include <ios>
#include <thread>

namespace {

struct precision {
    unsigned control;  // the control word's precision field
    double sum;
};

// 1 + (2^-53 + 2^-64), just above half-way between two doubles: rounded
// to 53 bits it goes up to 1 + 2^-52; rounded to 64 bits first it lands on
// the half-way point, which the store to a double then rounds to even, 1.
precision observed()
{
    fpu_control_t word = 0;
    _FPU_GETCW(word);
    volatile double one = 1.0;
    volatile double above_half_ulp = 0x1.002p-53;
    return {static_cast<unsigned>(word & _FPU_EXTENDED), one + above_half_ulp};
}

TEST(x87_precision, doubles_round_to_53_bits_on_every_thread)
{
    precision in_thread{};
    std::thread([&] { in_thread = observed(); }).join();
    for (const precision& seen : {observed(), in_thread}) {
        EXPECT_EQ(seen.control, unsigned{_FPU_DOUBLE});
        EXPECT_EQ(seen.sum, 1.0 + 0x1p-52) << std::hexfloat << seen.sum;
    }
}

}  // namespace
