#include "core/debug_log.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

void LogLine(const char* format, ...) {
    char line[1024];
    va_list args;
    va_start(args, format);
    int length = vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (length < 0) length = 0;
    if (length > static_cast<int>(sizeof line) - 1) length = sizeof line - 1;

    HANDLE file = CreateFileA("DebugLog.txt", GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    SetFilePointer(file, 0, nullptr, FILE_END);
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(length), &written, nullptr);
    WriteFile(file, "\r\n", 2, &written, nullptr);
    CloseHandle(file);
}
