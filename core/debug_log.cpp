#include "core/debug_log.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/exit_summary.h"
#include "core/run_context.h"
#include "platform/os.h"

namespace {

constexpr size_t kKeptSize = 8192;

// Lines that found no log they could be written to before the working place existed.
char g_kept[kKeptSize];
size_t g_keptLength = 0;

}  // namespace

HANDLE OpenLogFile(const char* path) {
    bool nt = OsWindowsKind().nt;
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

bool AppendToLogFile(const char* path, const char* bytes, size_t n) {
    HANDLE file = OpenLogFile(path);
    if (file == INVALID_HANDLE_VALUE) return false;
    SetFilePointer(file, 0, nullptr, FILE_END);
    DWORD written = 0;
    bool whole = WriteFile(file, bytes, static_cast<DWORD>(n), &written, nullptr) && written == n;
    CloseHandle(file);
    return whole;
}

namespace {

// DebugLog.txt of the working place, or before it of the folder the program was started in
// (the current directory may be the system's by then).
bool Append(const char* bytes, size_t n) {
    char path[kPathSize + 16];
    const char* start = g_run.startDirectory;
    size_t length = strlen(start);
    if (g_run.inWorkingDirectory || length == 0) {
        snprintf(path, sizeof path, "DebugLog.txt");
    } else {
        snprintf(path, sizeof path, "%s%sDebugLog.txt", start, start[length - 1] == '\\' ? "" : "\\");
    }
    return AppendToLogFile(path, bytes, n);
}

bool Keep(const char* bytes, size_t n) {
    if (n > kKeptSize - g_keptLength) return false;
    memcpy(g_kept + g_keptLength, bytes, n);
    g_keptLength += n;
    return true;
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

    if (g_run.inWorkingDirectory) {
        if (g_keptLength > 0 && Append(g_kept, g_keptLength)) g_keptLength = 0;
        Append(line, n);
        return;
    }
    // Before its working place a run keeps its lines for the place's log, which then opens with
    // them; the folder it was started in (a user's, or an engine's cache that is cleaned) takes
    // them only where nothing else can: too many lines, and no fleet log on this Windows.
    if (g_run.keepUntilPlace && (Keep(line, n) || g_run.fleetLog[0] != '\0')) return;
    if (!Append(line, n)) Keep(line, n);
}

void LogText(const char* label, const char* text) {
    char flat[1024];
    snprintf(flat, sizeof flat, "%s", text);
    for (char* c = flat; *c != '\0'; ++c) {
        if (*c == '\r' || *c == '\n') *c = ' ';
    }
    LogLine("%s : %s", label, flat);
}

namespace {

// "[process] line" into the fleet log: runs may overlap there, so each line says whose it is.
void AppendToFleetLog(const char* text, size_t length) {
    if (g_run.fleetLog[0] == '\0') return;
    char line[1024 + 32];
    int n = snprintf(line, sizeof line - 2, "[%lu] %.*s", GetCurrentProcessId(), static_cast<int>(length), text);
    if (n < 0) return;
    if (n > static_cast<int>(sizeof line) - 3) n = sizeof line - 3;
    memcpy(line + n, "\r\n", 2);
    n += 2;
    AppendToLogFile(g_run.fleetLog, line, static_cast<size_t>(n));
}

}  // namespace

void LogFleetLine(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    if (vsnprintf(text, sizeof text, format, args) < 0) text[0] = '\0';
    va_end(args);
    LogLine("%s", text);
    AppendToFleetLog(text, strlen(text));
}

void LogRunEnd(uint32_t code) {
    if (g_run.endLogged) return;
    g_run.endLogged = true;
    // What no working place took goes to the fleet log, or where there is none, to the folder
    // the run was started in.
    for (size_t at = 0; !g_run.inWorkingDirectory && g_run.fleetLog[0] != '\0' && at < g_keptLength;) {
        const char* line = g_kept + at;
        const char* end = static_cast<const char*>(memchr(line, '\r', g_keptLength - at));
        size_t length = end ? static_cast<size_t>(end - line) : g_keptLength - at;
        AppendToFleetLog(line, length);
        at += length + 2;
    }
    if (!g_run.inWorkingDirectory && g_run.fleetLog[0] == '\0' && g_keptLength > 0) Append(g_kept, g_keptLength);
    g_keptLength = 0;
    char line[1024];
    FormatExitLine(code, g_run.ending ? g_run.ending : "", line, sizeof line);
    LogFleetLine("%s", line);
}
