// Counts the bytes held through operator new, so that a benchmark can tell
// how much memory a structure really takes. Linking allocation_counter.cpp
// replaces the global operator new and delete of the program.
#pragma once

#include <cstddef>

// Bytes currently allocated through operator new, not yet deleted.
std::size_t allocated_bytes();
