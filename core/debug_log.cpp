#include "core/debug_log.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/run_context.h"
#include "platform/os.h"

namespace {

constexpr size_t kKeptSize = 8192;

// Lines that found no log they could be written to before the working place existed.
char g_kept[kKeptSize];
size_t g_keptLength = 0;

// DebugLog.txt of the working place, or before it of the folder the program was started in,
// opened for appending without following a link: a handle only to a plain file with no other
// name, so that no line lands in a file someone linked there. Windows 95, 98 and Me know neither.
HANDLE OpenLog() {
    bool nt = OsWindowsKind().nt;
    char path[kPathSize + 16];
    const char* start = g_run.startDirectory;
    size_t length = strlen(start);
    if (g_run.inWorkingDirectory || length == 0) {
        snprintf(path, sizeof path, "DebugLog.txt");
    } else {
        snprintf(path, sizeof path, "%s%sDebugLog.txt", start, start[length - 1] == '\\' ? "" : "\\");
    }
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | (nt ? FILE_FLAG_OPEN_REPARSE_POINT : 0), nullptr);
    if (file == INVALID_HANDLE_VALUE || !nt) return file;
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(file, &info) &&
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0 &&
        info.nNumberOfLinks == 1) {
        return file;
    }
    CloseHandle(file);
    return INVALID_HANDLE_VALUE;
}

bool Append(const char* bytes, size_t n) {
    HANDLE file = OpenLog();
    if (file == INVALID_HANDLE_VALUE) return false;
    SetFilePointer(file, 0, nullptr, FILE_END);
    DWORD written = 0;
    bool whole = WriteFile(file, bytes, static_cast<DWORD>(n), &written, nullptr) && written == n;
    CloseHandle(file);
    return whole;
}

void Keep(const char* bytes, size_t n) {
    if (n > kKeptSize - g_keptLength) return;
    memcpy(g_kept + g_keptLength, bytes, n);
    g_keptLength += n;
}

}  // namespace

void LogLine(const char* format, ...) {
    char line[1024 + 2];
    va_list args;
    va_start(args, format);
    int length = vsnprintf(line, 1024, format, args);
    va_end(args);
    if (length < 0) length = 0;
    if (length > 1023) length = 1023;
    memcpy(line + length, "\r\n", 2);
    size_t n = static_cast<size_t>(length) + 2;

    if (g_run.inWorkingDirectory && g_keptLength > 0 && Append(g_kept, g_keptLength)) g_keptLength = 0;
    if (!Append(line, n) && !g_run.inWorkingDirectory) Keep(line, n);
}
