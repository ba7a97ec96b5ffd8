// The runtime mutex's made-or-not test: only the static initialisers (and
// zeroed memory) are "not made"; any address is made, also one at or above
// 2 GiB in a 32-bit process.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "host/thread_runtime_mutex.h"

namespace {

// A 32-bit address as a 32-bit process's handle-sized value holds it.
mutex_value as_32_bit_value(std::uint32_t address)
{
    return static_cast<std::int32_t>(address);
}

}  // namespace

TEST(thread_runtime, mutex_is_made_unless_it_holds_a_static_initialiser)
{
    const auto heap = std::make_unique<int>(0);
    const struct {
        const char* name;
        mutex_value value;
        bool made;
    } rows[] = {
        {"plain initialiser", -1, false},
        {"error-checking initialiser", -2, false},
        {"recursive initialiser", -3, false},
        {"zeroed", 0, false},
        {"address at 2 GiB", as_32_bit_value(0x80000000u), true},
        {"address near 4 GiB", as_32_bit_value(0xFFFFFFF0u), true},
        {"address below 2 GiB", as_32_bit_value(0x00390000u), true},
        {"heap block", reinterpret_cast<mutex_value>(heap.get()), true},
    };
    for (const auto& row : rows)
        EXPECT_EQ(mutex_is_made(row.value), row.made) << row.name;
}
