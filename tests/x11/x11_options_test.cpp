#include <gtest/gtest.h>

#include "x11/x11_options.h"

namespace {

parsed_x11_options parse(const std::vector<std::string>& arguments)
{
    return parse_x11_options(arguments);
}

}  // namespace

TEST(x11_options, no_option_opens_a_window_of_its_own)
{
    const auto parsed = parse({});
    EXPECT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.target, x11_target::new_window);
    EXPECT_FALSE(parsed.options.show_fps);
    EXPECT_FALSE(parsed.options.seed.has_value());
}

TEST(x11_options, every_flag_takes_one_dash_or_two)
{
    for (const std::string dash : {"-", "--"}) {
        SCOPED_TRACE(dash);
        EXPECT_EQ(parse({dash + "window"}).options.target, x11_target::new_window);
        EXPECT_EQ(parse({dash + "root"}).options.target, x11_target::root);
        const auto by_id = parse({dash + "window-id", "0x2a00007", dash + "fps", dash + "seed", "42"});
        ASSERT_EQ(by_id.error, "");
        EXPECT_EQ(by_id.options.target, x11_target::window_id);
        EXPECT_EQ(by_id.options.window_id, 0x2a00007ul);
        EXPECT_TRUE(by_id.options.show_fps);
        EXPECT_EQ(by_id.options.seed, 42u);
        EXPECT_TRUE(parse({dash + "help"}).options.show_help);
    }
}

TEST(x11_options, window_ids_are_decimal_or_hexadecimal)
{
    EXPECT_EQ(parse_window_id("44040199"), 44040199ul);
    EXPECT_EQ(parse_window_id("0x2A00007"), 0x2a00007ul);
    EXPECT_EQ(parse_window_id("0XfFfFfFfF"), 0xfffffffful);
    EXPECT_EQ(parse_window_id("4294967295"), 4294967295ul);
    for (const std::string bad : {"", "0", "0x0", "0x", "x12", "-5", "+5", " 12", "12 ", "12abc", "0x12g",
                                  "4294967296", "0x100000000", "99999999999999999999999"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(parse_window_id(bad).has_value());
    }
}

TEST(x11_options, seeds_are_whole_32_bit_numbers)
{
    EXPECT_EQ(parse_seed("0"), 0u);
    EXPECT_EQ(parse_seed("4294967295"), 4294967295u);
    for (const std::string bad : {"", "-1", "4294967296", "1e3", "0x10", "7 "}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(parse_seed(bad).has_value());
    }
}

TEST(x11_options, bad_command_lines_give_one_line)
{
    const std::vector<std::vector<std::string>> command_lines = {
        {"--frobnicate"}, {"-"}, {"--"}, {"extra"},
        {"-window-id"}, {"-window-id", "zzz"}, {"-window-id", "0"},
        {"--seed"}, {"--seed", "x"},
        {"-root", "-window"}, {"-window", "-window-id", "12"}, {"-window-id", "12", "-root"},
        {"-window-id", "12", "-window-id", "13"},
    };
    for (const auto& arguments : command_lines) {
        SCOPED_TRACE(::testing::PrintToString(arguments));
        const auto parsed = parse(arguments);
        EXPECT_NE(parsed.error, "");
        EXPECT_EQ(parsed.error.find('\n'), std::string::npos);
    }
}

TEST(x11_options, repeating_a_flag_is_harmless)
{
    const auto parsed = parse({"-root", "--root", "-fps", "-fps", "-window-id", "12", "-window-id", "12"});
    EXPECT_NE(parsed.error, "") << "-root and -window-id still exclude each other";
    const auto twice = parse({"-root", "--root", "-fps", "--fps", "--seed", "1", "--seed", "2"});
    EXPECT_EQ(twice.error, "");
    EXPECT_EQ(twice.options.target, x11_target::root);
    EXPECT_EQ(twice.options.seed, 2u) << "the last seed counts";
}
