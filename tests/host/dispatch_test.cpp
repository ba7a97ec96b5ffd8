// Whole command lines, as the system hands them over, to the entry's
// decision: program name skipped, switch read, windows checked, exit code.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "double_byte.h"
#include "host/command_line.h"

namespace {

// The windows that exist in these tests.
int window_checks = 0;
bool window_exists(std::uint32_t handle)
{
    ++window_checks;
    return handle == 1234 || handle == 77 || handle == 4294967295u;
}

constexpr int not_decided = 1;  // the action's own result is the exit code

struct command_case {
    std::string line;  // the whole command line, program name first
    bool legacy;
    saver_mode mode;
    saver_action action;
    std::uint32_t parent;
    bool foreground;
    int exit_code;
};

constexpr auto run = saver_action::run_saver;
constexpr auto configure = saver_action::configure_saver;
constexpr auto password = saver_action::change_saver_password;
constexpr auto refuse = saver_action::refuse;

void check(const command_case& c, next_character_function next)
{
    // The bytes live in a buffer of their own size, so that a sanitizer sees
    // any read past the terminating zero.
    const std::vector<char> bytes(c.line.c_str(), c.line.c_str() + c.line.size() + 1);
    const char* tail = command_tail(bytes.data(), next);
    ASSERT_GE(tail, bytes.data());
    ASSERT_LE(tail, bytes.data() + c.line.size());
    const saver_dispatch plan = plan_dispatch(tail, c.legacy, window_exists);
    SCOPED_TRACE("command line '" + c.line + "'" + (c.legacy ? " on the legacy platform" : ""));
    EXPECT_EQ(plan.mode, c.mode);
    EXPECT_EQ(plan.action, c.action);
    EXPECT_EQ(plan.parent, c.parent);
    EXPECT_EQ(plan.foreground_parent, c.foreground);
    if (c.exit_code == not_decided) {
        EXPECT_FALSE(plan.exit_code_decided);
    } else {
        EXPECT_TRUE(plan.exit_code_decided);
        EXPECT_EQ(plan.exit_code, c.exit_code);
    }
}

TEST(command_line, switch_forms_choose_the_mode_window_and_exit_code)
{
    const command_case cases[] = {
        // Full screen, however the letter is written; only the first counts.
        {"velmora.scr /s", false, saver_mode::run_full_screen, run, 0, false, not_decided},
        {"velmora.scr -S", false, saver_mode::run_full_screen, run, 0, false, not_decided},
        {"velmora.scr s", false, saver_mode::run_full_screen, run, 0, false, not_decided},
        {"velmora.scr /s /x", false, saver_mode::run_full_screen, run, 0, false, not_decided},
        {"velmora.scr /x /s", false, saver_mode::bad_switch, refuse, 0, false, -1},
        // Preview only inside a window that exists.
        {"velmora.scr /p 1234", false, saver_mode::preview, run, 1234, false, not_decided},
        {"velmora.scr /p1234", false, saver_mode::preview, run, 1234, false, not_decided},
        {"velmora.scr /l 1234", false, saver_mode::preview, run, 1234, false, not_decided},
        {"velmora.scr /P      77", false, saver_mode::preview, run, 77, false, not_decided},
        {"velmora.scr /p", false, saver_mode::preview, refuse, 0, false, -1},
        {"velmora.scr /p 0", false, saver_mode::preview, refuse, 0, false, -1},
        {"velmora.scr /p:1234", false, saver_mode::preview, refuse, 0, false, -1},
        {"velmora.scr /p 5555", false, saver_mode::preview, refuse, 0, false, -1},
        // Configure: a parent only after ':', else the foreground window.
        {"velmora.scr /c:1234", false, saver_mode::configure, configure, 1234, false, not_decided},
        {"velmora.scr /c 1234", false, saver_mode::configure, configure, 0, true, not_decided},
        {"velmora.scr /c", false, saver_mode::configure, configure, 0, true, not_decided},
        {"velmora.scr /c:0", false, saver_mode::configure, configure, 0, true, not_decided},
        {"velmora.scr /c:5555", false, saver_mode::configure, configure, 0, true, not_decided},
        {"velmora.scr", false, saver_mode::configure_without_parent, configure, 0, false, not_decided},
        {"", false, saver_mode::configure_without_parent, configure, 0, false, not_decided},
        // Change password: refused outside the legacy family.
        {"velmora.scr /a 1234", false, saver_mode::change_password, refuse, 0, false, -1},
        {"velmora.scr /a 1234", true, saver_mode::change_password, password, 1234, false, 0},
        {"velmora.scr /A1234", true, saver_mode::change_password, password, 1234, false, 0},
        {"velmora.scr /a 5555", true, saver_mode::change_password, password, 0, true, 0},
        {"velmora.scr /a", true, saver_mode::change_password, password, 0, true, 0},
        // Handles wrap modulo 2^32 before the window check, 20 digits too.
        {"velmora.scr /p 4294968530", false, saver_mode::preview, run, 1234, false, not_decided},
        {"velmora.scr /p 18446744073709552850", false, saver_mode::preview, run, 1234, false, not_decided},
        {"velmora.scr /p 00000000000000001234", false, saver_mode::preview, run, 1234, false, not_decided},
        {"velmora.scr /p 4294967295", false, saver_mode::preview, run, 4294967295u, false, not_decided},
        {"velmora.scr /c:99999999999999999999", false, saver_mode::configure, configure, 0, true, not_decided},
        // Tabs and control bytes end the program name and are skipped after
        // it, but inside the tail only blanks are.
        {"velmora.scr\t/s", false, saver_mode::run_full_screen, run, 0, false, not_decided},
        {"velmora.scr\x01\x1f\t /p 77", false, saver_mode::preview, run, 77, false, not_decided},
        {"velmora.scr /\ts", false, saver_mode::bad_switch, refuse, 0, false, -1},
        {"velmora.scr /p\t1234", false, saver_mode::preview, refuse, 0, false, -1},
        {"velmora.scr /\x7fs", false, saver_mode::bad_switch, refuse, 0, false, -1},
        {"velmora.scr \xff", false, saver_mode::bad_switch, refuse, 0, false, -1},
        // Quoted program names with blanks, and quotes that never close.
        {"\"C:\\Program Files\\velmora.scr\" /s", false, saver_mode::run_full_screen, run, 0, false, not_decided},
        {"\"C:\\Program Files\\velmora.scr\"/p 77", false, saver_mode::preview, run, 77, false, not_decided},
        {"\"C:\\Bildschirmschoner\\Velm\xc3\xb6ra.scr\" /c:77", false, saver_mode::configure, configure, 77, false,
         not_decided},
        {"\"C:\\Program Files\\velmora.scr /s", false, saver_mode::configure_without_parent, configure, 0, false,
         not_decided},
        {"\"", false, saver_mode::configure_without_parent, configure, 0, false, not_decided},
        {"velmora.scr \"", false, saver_mode::bad_switch, refuse, 0, false, -1},
        {"\"\" /s", false, saver_mode::run_full_screen, run, 0, false, not_decided},
    };
    for (const command_case& c : cases)
        check(c, next_byte);
}

TEST(command_line, double_byte_program_names_are_stepped_over_whole)
{
    // 0x81 0x22 is one character whose second byte is a quote: with the
    // code page's stepping the name ends at the real closing quote.
    const std::string name = "\"C:\\\x81\"Xsaver\\velmora.scr\"";
    check({name + " /p 1234", false, saver_mode::preview, run, 1234, false, not_decided}, next_double_byte);
    // Byte by byte the name ends inside the character and the rest is junk.
    check({name + " /p 1234", false, saver_mode::bad_switch, refuse, 0, false, -1}, next_byte);
    // A lead byte as the very last byte does not step past the end.
    check({"\"C:\\velmora\x81", false, saver_mode::configure_without_parent, configure, 0, false, not_decided},
          next_double_byte);
    check({"\"\x81", false, saver_mode::configure_without_parent, configure, 0, false, not_decided}, next_double_byte);
    // Single-byte text steps the same either way.
    check({"\"C:\\Program Files\\velmora.scr\" /s", false, saver_mode::run_full_screen, run, 0, false, not_decided},
          next_double_byte);
}

TEST(command_line, window_check_is_made_only_where_a_handle_is_read)
{
    const struct {
        const char* tail;
        bool legacy;
        int checks;
    } cases[] = {
        {"/a 1234", false, 0},                         // refused before the handle is looked at
        {"/a 1234", true, 1},  {"/p 0", false, 0},     // zero names no window
        {"/p 1234", false, 1}, {"/c 1234", false, 0},  // a handle after a blank is not read
        {"/c:1234", false, 1}, {"/s 1234", false, 0}, {"/x 1234", false, 0},
    };
    for (const auto& c : cases) {
        window_checks = 0;
        plan_dispatch(c.tail, c.legacy, window_exists);
        EXPECT_EQ(window_checks, c.checks) << "tail '" << c.tail << "'";
    }
}

}  // namespace
