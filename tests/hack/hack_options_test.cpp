#include <gtest/gtest.h>

#include "hack/hack_options.h"

namespace {

parsed_hack_options parse(const std::vector<std::string>& arguments)
{
    return parse_hack_options(arguments);
}

}  // namespace

TEST(hack_options, no_option_opens_a_window_of_its_own)
{
    const auto parsed = parse({});
    EXPECT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.target, hack_target::new_window);
    EXPECT_FALSE(parsed.options.show_fps);
    EXPECT_FALSE(parsed.options.seed.has_value());
}

TEST(hack_options, every_flag_takes_one_dash_or_two)
{
    for (const std::string dash : {"-", "--"}) {
        SCOPED_TRACE(dash);
        EXPECT_EQ(parse({dash + "window"}).options.target, hack_target::new_window);
        EXPECT_EQ(parse({dash + "root"}).options.target, hack_target::root);
        const auto by_id = parse({dash + "window-id", "0x2a00007", dash + "fps", dash + "seed", "42"});
        ASSERT_EQ(by_id.error, "");
        EXPECT_EQ(by_id.options.target, hack_target::window_id);
        EXPECT_EQ(by_id.options.window_id, 0x2a00007ul);
        EXPECT_TRUE(by_id.options.show_fps);
        EXPECT_EQ(by_id.options.seed, 42u);
        EXPECT_TRUE(parse({dash + "help"}).options.show_help);
        EXPECT_TRUE(parse({dash + "version"}).options.show_version);
    }
}

TEST(hack_options, window_ids_are_decimal_or_hexadecimal)
{
    EXPECT_EQ(parse_window_id("44040199"), 44040199ul);
    EXPECT_EQ(parse_window_id("0x2A00007"), 0x2a00007ul);
    EXPECT_EQ(parse_window_id("0XfFfFfFfF"), 0xfffffffful);
    EXPECT_EQ(parse_window_id("4294967295"), 4294967295ul);
    for (const std::string bad : {"", "0", "0x0", "0x", "x12", "-5", "+5", " 12", "12 ", "12abc", "0x12g", "4294967296",
                                  "0x100000000", "99999999999999999999999"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(parse_window_id(bad).has_value());
    }
}

TEST(hack_options, bad_command_lines_give_one_line)
{
    const std::vector<std::vector<std::string>> command_lines = {
        {"--frobnicate"},
        {"-"},
        {"--"},
        {"extra"},
        {"---fps"},
        {"---root"},
        {"-window-id"},
        {"-window-id", "zzz"},
        {"-window-id", "0"},
        {"--seed"},
        {"--seed", "x"},
        {"-root", "-window"},
        {"-window", "-window-id", "12"},
        {"--window-id", "12", "--window"},
        {"-window", "-root", "-window-id", "12"},
        {"-window-id", "12", "-window-id", "13"},
        {"-root", "--window-id", "12", "--window-id", "0xd"},
        {"-x11", "--wayland"},
        {"-wayland", "-window-id", "12"},
        {"--seed", "1\n2"},
        {"-\x1b[2J\x7f"},
    };
    for (const auto& arguments : command_lines) {
        SCOPED_TRACE(::testing::PrintToString(arguments));
        const auto parsed = parse(arguments);
        EXPECT_NE(parsed.error, "");
        // The refused bytes are quoted escaped: nothing reaches the terminal
        // as a control byte.
        for (const unsigned char c : parsed.error)
            EXPECT_TRUE(c >= 0x20 && c != 0x7f) << "byte " << static_cast<int>(c);
    }
}

TEST(hack_options, repeating_a_flag_is_harmless)
{
    const auto parsed = parse({"-window", "--window", "-fps", "-fps", "-window-id", "12", "-window-id", "12"});
    EXPECT_NE(parsed.error, "") << "-window and -window-id still exclude each other";
    const auto same_id = parse({"-window-id", "12", "--window-id", "0xc"});
    EXPECT_EQ(same_id.error, "") << "the same window twice, in decimal and hexadecimal";
    EXPECT_EQ(same_id.options.window_id, 12ul);
    const auto twice = parse({"-root", "--root", "-fps", "--fps", "--seed", "1", "--seed", "2"});
    EXPECT_EQ(twice.error, "");
    EXPECT_EQ(twice.options.target, hack_target::root);
    EXPECT_EQ(twice.options.seed, 2u) << "the last seed counts";
}

// xscreensaver-settings runs the programs-list command with --window-id
// appended for its preview: "velmora --root --window-id 0x800C9C". As for
// every stock hack, the named window wins, in either order and with one dash
// or two.
TEST(hack_options, the_window_id_wins_over_root_as_in_the_settings_preview)
{
    const std::vector<std::vector<std::string>> command_lines = {
        {"--root", "--window-id", "0x800C9C"},
        {"-root", "-window-id", "0x800C9C"},
        {"-window-id", "0x800C9C", "-root"},
        {"--window-id", "0x800C9C", "-root"},
        {"-root", "-fps", "--window-id", "8391836", "--seed", "7", "--root"},
    };
    for (const auto& arguments : command_lines) {
        SCOPED_TRACE(::testing::PrintToString(arguments));
        const auto parsed = parse(arguments);
        ASSERT_EQ(parsed.error, "");
        EXPECT_EQ(parsed.options.target, hack_target::window_id);
        EXPECT_EQ(parsed.options.window_id, 0x800C9Cul);
    }
}

TEST(hack_options, contradictions_name_the_flags)
{
    EXPECT_EQ(parse({"-root", "-window"}).error, "-window draws in a new window; it cannot be given with -root");
    EXPECT_EQ(parse({"-window-id", "12", "-window"}).error,
              "-window draws in a new window; it cannot be given with -window-id");
    EXPECT_EQ(parse({"-window-id", "12", "-window-id", "13"}).error, "-window-id names two windows");
}

// Wayland when the environment names a compositor and nothing X11-only is
// asked; -x11 and -wayland force either.
TEST(hack_options, the_display_server_follows_the_environment_unless_forced)
{
    struct row {
        std::vector<std::string> arguments;
        std::string wayland_display;
        std::string xscreensaver_window;
        server_choice expected;
    };
    const std::vector<row> rows = {
        {{}, "wayland-1", "", server_choice::wayland_else_x11},
        {{"-root"}, "wayland-1", "", server_choice::wayland_else_x11},
        {{}, "", "", server_choice::x11},
        {{"-root"}, "wayland-1", "0x400007", server_choice::x11},
        {{"-window-id", "12"}, "wayland-1", "", server_choice::x11},
        {{"-x11"}, "wayland-1", "", server_choice::x11},
        {{"--wayland", "-root"}, "", "0x400007", server_choice::wayland},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(::testing::PrintToString(r.arguments) + " WAYLAND_DISPLAY=" + r.wayland_display +
                     " XSCREENSAVER_WINDOW=" + r.xscreensaver_window);
        const auto parsed = parse(r.arguments);
        ASSERT_EQ(parsed.error, "");
        EXPECT_EQ(choose_display_server(parsed.options, r.wayland_display, r.xscreensaver_window), r.expected);
    }
}
