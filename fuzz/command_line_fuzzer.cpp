// Arbitrary bytes as the command line the system starts the saver with:
// the program name is skipped, the switch read and the dispatch decided,
// and whatever the bytes, the outcome is one the entry knows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "double_byte.h"
#include "host/command_line.h"

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

// A fixed, arbitrary set of existing windows.
bool window_exists(std::uint32_t handle)
{
    return handle % 3 == 1;
}

bool known_mode(saver_mode mode)
{
    switch (mode) {
    case saver_mode::run_full_screen:
    case saver_mode::preview:
    case saver_mode::configure:
    case saver_mode::configure_without_parent:
    case saver_mode::change_password:
    case saver_mode::bad_switch:
        return true;
    }
    return false;
}

// The decimal number at the start of text, by another route: 64-bit
// arithmetic reduced at every digit.
std::uint32_t reference_decimal(const char* text)
{
    std::uint64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        value = (value * 10 + static_cast<std::uint64_t>(*text - '0')) % 4294967296u;
    return static_cast<std::uint32_t>(value);
}

void check_dispatch(const char* tail, bool legacy)
{
    const saver_dispatch plan = plan_dispatch(tail, legacy, window_exists);
    require(known_mode(plan.mode));
    require(plan.mode == read_switch(tail).mode);
    if (plan.exit_code_decided)
        require(plan.exit_code == 0 || plan.exit_code == -1);
    // A parent is one that exists; the foreground window stands in for none.
    require(plan.parent == 0 || window_exists(plan.parent));
    require(!(plan.foreground_parent && plan.parent != 0));

    switch (plan.action) {
    case saver_action::refuse:
        require(plan.exit_code_decided && plan.exit_code == -1);
        require(plan.mode == saver_mode::bad_switch || plan.mode == saver_mode::preview ||
                (plan.mode == saver_mode::change_password && !legacy));
        break;
    case saver_action::run_saver:
        require(!plan.exit_code_decided);
        require(plan.mode == saver_mode::run_full_screen || plan.mode == saver_mode::preview);
        // Full screen has no parent; a preview always has one.
        require((plan.parent != 0) == (plan.mode == saver_mode::preview));
        break;
    case saver_action::configure_saver:
        require(!plan.exit_code_decided);
        require(plan.mode == saver_mode::configure || plan.mode == saver_mode::configure_without_parent);
        if (plan.mode == saver_mode::configure_without_parent)
            require(plan.parent == 0 && !plan.foreground_parent);
        else
            require((plan.parent != 0) != plan.foreground_parent);
        break;
    case saver_action::change_saver_password:
        require(legacy && plan.mode == saver_mode::change_password);
        require(plan.exit_code_decided && plan.exit_code == 0);
        require((plan.parent != 0) != plan.foreground_parent);
        break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The command line is text: it ends at its first zero byte. The buffer
    // ends right after the terminator, so that any read past it is caught.
    std::vector<char> line(data, data + size);
    line.push_back('\0');
    const char* begin = line.data();
    const char* end = begin + std::strlen(begin);

    const char* tails[2] = {command_tail(begin, next_byte), command_tail(begin, next_double_byte)};
    for (const char* tail : tails) {
        require(tail >= begin && tail <= end);
        // The tail starts after the skipped bytes: at the end or above 0x20.
        require(*tail == '\0' || static_cast<unsigned char>(*tail) > 0x20);
        check_dispatch(tail, false);
        check_dispatch(tail, true);
    }
    // Stepping by bytes or by characters differs only where a byte above
    // 0x7F could lead a character.
    bool single_byte = true;
    for (const char* p = begin; p != end; ++p)
        single_byte = single_byte && static_cast<unsigned char>(*p) < 0x80;
    if (single_byte)
        require(tails[0] == tails[1]);

    for (const char* p = begin; p <= end; ++p)
        require(read_decimal(p) == reference_decimal(p));
    return 0;
}
