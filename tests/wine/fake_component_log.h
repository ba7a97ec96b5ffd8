// One line appended to the log file named by VELMORA_FAKE_LOG, for the
// suite's stand-ins of system components.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

inline void fake_log(const char* format, ...)
{
    const char* path = std::getenv("VELMORA_FAKE_LOG");
    if (path == nullptr)
        return;
    std::FILE* file = std::fopen(path, "a");
    if (file == nullptr)
        return;
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(file, format, arguments);
    va_end(arguments);
    std::fputc('\n', file);
    std::fclose(file);
}
