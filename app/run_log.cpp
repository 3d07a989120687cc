#include "app/run_log.h"

#include <windows.h>

#include "core/debug_log.h"
#include "core/program_version.h"
#include "core/run_context.h"
#include "platform/os.h"

void LogRunOpening(const char* commandText) {
    SYSTEMTIME now;
    GetSystemTime(&now);
    LogFleetLine("Run : %04u-%02u-%02u %02u:%02u:%02u UTC, QuorvinUpdate " QV_VERSION_TEXT ", process %lu", now.wYear,
            now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, GetCurrentProcessId());
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (OsGetVersionExA(&version)) {
        LogFleetLine("Windows : %lu.%lu.%lu %s", version.dwMajorVersion, version.dwMinorVersion,
                version.dwBuildNumber & 0xFFFF, version.szCSDVersion);
    }
    LogFleetLine("Command line : %s", commandText);
}

