#include "options/command_words.h"

namespace {

// The digit's value, or -1 when c is no digit of base.
int digit_value(char c, int base)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (base == 16 && c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (base == 16 && c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<std::uint64_t> read_whole_number(const std::string& digits, int base, std::uint64_t limit)
{
    if (digits.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : digits) {
        const int digit = digit_value(c, base);
        if (digit < 0 || static_cast<std::uint64_t>(digit) > limit)
            return std::nullopt;
        // Checked before it could wrap: value * base + digit <= limit.
        if (value > (limit - static_cast<std::uint64_t>(digit)) / static_cast<std::uint64_t>(base))
            return std::nullopt;
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
    }
    return value;
}

std::optional<std::uint32_t> read_seed(const std::string& text)
{
    const auto value = read_whole_number(text, 10, max_seed);
    if (!value)
        return std::nullopt;
    return static_cast<std::uint32_t>(*value);
}

std::string seed_error(const std::string& text)
{
    return "--seed needs a whole number from 0 to 4294967295, not " + quoted(text);
}

std::string quoted(const std::string& value)
{
    // A refused argument may hold any bytes: control bytes written raw
    // could move the terminal's cursor or clear its screen.
    static const char hex[] = "0123456789abcdef";
    std::string shown = "\"";
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            shown += "\\x";
            shown += hex[byte >> 4];
            shown += hex[byte & 0xf];
        } else {
            if (c == '"' || c == '\\')
                shown += '\\';
            shown += c;
        }
    }
    return shown + "\"";
}
