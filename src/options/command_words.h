// The words both Linux programs read from their command lines: whole
// numbers, seeds, and values quoted back in their messages.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

constexpr std::uint32_t max_seed = 4294967295u;

// Digits of base 10 or 16 only (no sign, blank or prefix), any number of
// leading zeros, no larger than limit.
std::optional<std::uint64_t> read_whole_number(const std::string& digits, int base, std::uint64_t limit);

// A seed of the random engine: decimal, 0 to max_seed.
std::optional<std::uint32_t> read_seed(const std::string& text);

// The message for a seed that is not one.
std::string seed_error(const std::string& text);

// A value as the programs' messages show it: in double quotes, control bytes
// as \xNN, a double quote or backslash inside after a backslash.
std::string quoted(const std::string& value);
