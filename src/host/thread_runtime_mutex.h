// How the C++ runtime's thread calls (win32_thread_runtime.cpp) tell a mutex
// whose critical section is not yet made from one that holds its address.
// Portable, so that it is tested natively as well as under Wine.
#pragma once

#include <cstdint>

// A mutex as the thread library holds it: a handle-sized value.
using mutex_value = std::intptr_t;

// The thread library's static initialisers are exactly -1 (plain and
// default), -2 (error-checking) and -3 (recursive); zeroed memory is made on
// first use as well. Every other value is a section's address, which may be
// negative: a 32-bit process that is large-address aware gets heap at and
// above 2 GiB on 64-bit Windows.
constexpr bool mutex_is_made(mutex_value value)
{
    return value != 0 && value != -1 && value != -2 && value != -3;
}
