#include "hw/shutdown.h"

#include "platform/os.h"

bool ShutdownSystem(UINT flags) {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;  // 148: the basic record
    OsGetVersionExA(&version);
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        HANDLE token = nullptr;
        OsOpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token);
        TOKEN_PRIVILEGES privileges = {};
        privileges.PrivilegeCount = 1;
        OsLookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid);
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        OsAdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
        if (token != nullptr) OsCloseHandle(token);
    }
    return OsExitWindowsEx(flags, 0) != 0;
}
