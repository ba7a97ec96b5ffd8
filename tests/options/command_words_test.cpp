#include <gtest/gtest.h>

#include "options/command_words.h"

TEST(command_words, seeds_are_whole_32_bit_numbers)
{
    EXPECT_EQ(read_seed("0"), 0u);
    EXPECT_EQ(read_seed("4294967295"), 4294967295u);
    EXPECT_EQ(read_seed("00000000000000000000007"), 7u);
    for (const std::string bad : {"", "-1", "4294967296", "1e3", "0x10", "7 "}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(read_seed(bad).has_value());
    }
}

TEST(command_words, whole_numbers_stop_at_their_limit_without_wrapping)
{
    constexpr std::uint64_t max = 18446744073709551615u;
    EXPECT_EQ(read_whole_number("18446744073709551615", 10, max), max);
    EXPECT_FALSE(read_whole_number("18446744073709551616", 10, max).has_value());
    EXPECT_FALSE(read_whole_number("184467440737095516150", 10, max).has_value());
    EXPECT_EQ(read_whole_number("fF", 16, 255), 255u);
    EXPECT_FALSE(read_whole_number("100", 16, 255).has_value());
    EXPECT_FALSE(read_whole_number("9", 10, 8).has_value());
    EXPECT_FALSE(read_whole_number("a", 10, 100).has_value());
}
