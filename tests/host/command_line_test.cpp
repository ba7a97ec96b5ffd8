#include <gtest/gtest.h>

#include "double_byte.h"
#include "host/command_line.h"

namespace {

saver_switch read(const char* tail)
{
    return read_switch(tail);
}

void expect_mode(const char* tail, saver_mode mode, std::uint32_t handle = 0)
{
    const saver_switch chosen = read(tail);
    EXPECT_EQ(chosen.mode, mode) << "tail '" << tail << "'";
    EXPECT_EQ(chosen.handle, handle) << "tail '" << tail << "'";
}

TEST(command_tail, skips_a_quoted_program_name_with_blanks_up_to_its_closing_quote)
{
    EXPECT_STREQ(command_tail("\"C:\\Program Files\\velmora.scr\" /s"), "/s");
    EXPECT_STREQ(command_tail("\"C:\\a b\\velmora.scr\"/p 12"), "/p 12");
    // A quote that is never closed takes the whole line.
    EXPECT_STREQ(command_tail("\"C:\\a b\\velmora.scr /s"), "");
}

TEST(command_tail, skips_an_unquoted_program_name_up_to_the_first_byte_at_or_below_blank)
{
    EXPECT_STREQ(command_tail("velmora.scr /s"), "/s");
    EXPECT_STREQ(command_tail("velmora.scr\t\t  /c:42"), "/c:42");
    EXPECT_STREQ(command_tail("velmora.scr"), "");
    EXPECT_STREQ(command_tail(""), "");
    // Bytes above 0x7F belong to the name (compared as unsigned).
    EXPECT_STREQ(command_tail("v\xE9lmora.scr /s"), "/s");
    // Control bytes after the name are skipped like blanks.
    EXPECT_STREQ(command_tail("velmora.scr \x01\x1F/s"), "/s");
}

TEST(command_tail, steps_over_double_byte_characters_inside_quotes_whole)
{
    EXPECT_STREQ(command_tail("\"a\x81\"b\" /s", next_double_byte), "/s");
    EXPECT_STREQ(command_tail("\"a\x81\"b\" /s"), "b\" /s");
}

TEST(command_tail, survives_a_step_function_that_makes_no_progress)
{
    auto stuck = [](const char* text) { return text; };
    EXPECT_STREQ(command_tail("\"abc\" /s", stuck), "abc\" /s");
}

TEST(read_decimal, reads_digits_up_to_the_first_other_character)
{
    EXPECT_EQ(read_decimal("1234"), 1234u);
    EXPECT_EQ(read_decimal("1234 5"), 1234u);
    EXPECT_EQ(read_decimal("007x"), 7u);
    EXPECT_EQ(read_decimal(""), 0u);
    EXPECT_EQ(read_decimal("x12"), 0u);
    EXPECT_EQ(read_decimal("-12"), 0u);
    EXPECT_EQ(read_decimal("+12"), 0u);
    EXPECT_EQ(read_decimal(" 12"), 0u);
}

TEST(read_decimal, wraps_modulo_two_to_the_32)
{
    EXPECT_EQ(read_decimal("4294967295"), 4294967295u);
    EXPECT_EQ(read_decimal("4294967296"), 0u);
    EXPECT_EQ(read_decimal("4294968530"), 1234u);
    EXPECT_EQ(read_decimal("99999999999999999999"), static_cast<std::uint32_t>(1661992959u));
}

TEST(read_switch, full_screen_in_either_case_after_any_blanks_dashes_and_slashes)
{
    expect_mode("/s", saver_mode::run_full_screen);
    expect_mode("-S", saver_mode::run_full_screen);
    expect_mode("s", saver_mode::run_full_screen);
    expect_mode("/s /x", saver_mode::run_full_screen);
    expect_mode(" -/ -/S", saver_mode::run_full_screen);
    expect_mode("/super", saver_mode::run_full_screen);
}

TEST(read_switch, anything_else_before_the_letter_is_a_bad_switch)
{
    expect_mode("/x /s", saver_mode::bad_switch);
    expect_mode("\t/s", saver_mode::bad_switch);
    expect_mode(":s", saver_mode::bad_switch);
    expect_mode("1234", saver_mode::bad_switch);
    expect_mode("\xC4", saver_mode::bad_switch);
}

TEST(read_switch, preview_reads_the_handle_after_blanks_or_directly)
{
    expect_mode("/p 1234", saver_mode::preview, 1234);
    expect_mode("/p1234", saver_mode::preview, 1234);
    expect_mode("/l 1234", saver_mode::preview, 1234);
    expect_mode("-P    77 rest", saver_mode::preview, 77);
    expect_mode("L9", saver_mode::preview, 9);
    // No handle, a zero one, or one after a colon reads as 0: the entry
    // then refuses the preview.
    expect_mode("/p", saver_mode::preview, 0);
    expect_mode("/p 0", saver_mode::preview, 0);
    expect_mode("/p:1234", saver_mode::preview, 0);
    expect_mode("/p\t1234", saver_mode::preview, 0);
    expect_mode("/p 4294968530", saver_mode::preview, 1234);
}

TEST(read_switch, configure_reads_a_handle_only_after_a_colon)
{
    expect_mode("/c:1234", saver_mode::configure, 1234);
    expect_mode("/C:1234", saver_mode::configure, 1234);
    expect_mode("/c 1234", saver_mode::configure, 0);
    expect_mode("/c", saver_mode::configure, 0);
    expect_mode("/c:0", saver_mode::configure, 0);
    expect_mode("/c: 12", saver_mode::configure, 0);
    expect_mode("", saver_mode::configure_without_parent);
    expect_mode("  - /", saver_mode::configure_without_parent);
}

TEST(read_switch, change_password_reads_the_handle_after_blanks_or_directly)
{
    expect_mode("/a 1234", saver_mode::change_password, 1234);
    expect_mode("-A1234", saver_mode::change_password, 1234);
    expect_mode("/a", saver_mode::change_password, 0);
}

}  // namespace
