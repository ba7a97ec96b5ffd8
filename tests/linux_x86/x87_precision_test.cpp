// The 32-bit Linux build's doubles round to 53 bits on the x87 unit, on the
// main thread and on threads it starts, as src/linux_i686 sets at start-up.
#include <fpu_control.h>
#include <gtest/gtest.h>

#include <thread>

namespace {

struct precision {
    unsigned control;  // the control word's precision field
    double sum;
};

// 1 + 2^-53 + 2^-53 in one expression: rounded to 53 bits after each
// addition it stays 1 (each half-way sum rounds to even); held to 64 bits
// it is 1 + 2^-52.
precision observed()
{
    fpu_control_t word = 0;
    _FPU_GETCW(word);
    volatile double one = 1.0;
    volatile double half_ulp = 0x1p-53;
    return {static_cast<unsigned>(word & _FPU_EXTENDED), one + half_ulp + half_ulp};
}

TEST(x87_precision, doubles_round_to_53_bits_on_every_thread)
{
    precision in_thread{};
    std::thread([&] { in_thread = observed(); }).join();
    for (const precision& seen : {observed(), in_thread}) {
        EXPECT_EQ(seen.control, unsigned{_FPU_DOUBLE});
        EXPECT_EQ(seen.sum, 1.0);
    }
}

}  // namespace
