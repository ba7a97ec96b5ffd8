// A double-byte code page in the manner of CharNextA, for the command-line
// tests and the fuzzer: 0x81 to 0x9F and 0xE0 to 0xFC lead a two-byte
// character unless the text ends after them.
#pragma once

inline const char* next_double_byte(const char* text)
{
    if (*text == '\0')
        return text;
    const auto byte = static_cast<unsigned char>(*text);
    const bool lead = (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    return lead && text[1] != '\0' ? text + 2 : text + 1;
}
