#include "host/command_line.h"

const char* next_byte(const char* text)
{
    return *text != '\0' ? text + 1 : text;
}

const char* command_tail(const char* command_line, next_character_function next)
{
    const char* text = command_line;
    if (*text == '"') {
        text = next(text);
        while (*text != '\0' && *text != '"') {
            const char* following = next(text);
            // A step that makes no progress would otherwise loop for ever.
            if (following == text)
                break;
            text = following;
        }
        if (*text == '"')
            ++text;
    } else {
        while (static_cast<unsigned char>(*text) > 0x20)
            ++text;
    }
    while (*text != '\0' && static_cast<unsigned char>(*text) <= 0x20)
        ++text;
    return text;
}

std::uint32_t read_decimal(const char* text)
{
    std::uint32_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        value = value * 10u + static_cast<std::uint32_t>(*text - '0');
    return value;
}

namespace {

const char* skip_blanks(const char* text)
{
    while (*text == ' ')
        ++text;
    return text;
}

}  // namespace

saver_switch read_switch(const char* tail)
{
    const char* text = tail;
    while (*text == ' ' || *text == '-' || *text == '/')
        ++text;
    switch (*text) {
    case '\0':
        return {saver_mode::configure_without_parent, 0};
    case 'S':
    case 's':
        return {saver_mode::run_full_screen, 0};
    case 'P':
    case 'p':
    case 'L':
    case 'l':
        return {saver_mode::preview, read_decimal(skip_blanks(text + 1))};
    case 'C':
    case 'c':
        // A handle after a blank is not read: only "/c:<handle>" names one.
        return {saver_mode::configure, text[1] == ':' ? read_decimal(text + 2) : 0};
    case 'A':
    case 'a':
        return {saver_mode::change_password, read_decimal(skip_blanks(text + 1))};
    default:
        return {saver_mode::bad_switch, 0};
    }
}

saver_dispatch plan_dispatch(const char* tail, bool legacy_platform, window_exists_function window_exists)
{
    const saver_switch chosen = read_switch(tail);
    // Asked only where the mode reads a handle, as the entry asks IsWindow.
    auto named_window_exists = [&] { return chosen.handle != 0 && window_exists(chosen.handle); };
    const saver_dispatch refused{chosen.mode, saver_action::refuse, 0, false, true, -1};
    switch (chosen.mode) {
    case saver_mode::configure_without_parent:
        return {chosen.mode, saver_action::configure_saver, 0, false, false, 0};
    case saver_mode::run_full_screen:
        return {chosen.mode, saver_action::run_saver, 0, false, false, 0};
    case saver_mode::preview:
        if (!named_window_exists())
            return refused;
        return {chosen.mode, saver_action::run_saver, chosen.handle, false, false, 0};
    case saver_mode::configure: {
        const bool exists = named_window_exists();
        return {chosen.mode, saver_action::configure_saver, exists ? chosen.handle : 0, !exists, false, 0};
    }
    case saver_mode::change_password: {
        if (!legacy_platform)
            return refused;
        const bool exists = named_window_exists();
        return {chosen.mode, saver_action::change_saver_password, exists ? chosen.handle : 0, !exists, true, 0};
    }
    case saver_mode::bad_switch:
        break;
    }
    return refused;
}
