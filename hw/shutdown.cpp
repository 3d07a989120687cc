#include "hw/shutdown.h"

#include "platform/os.h"

bool ShutdownSystem(UINT flags) {
    if (OsWindowsKind().nt) {
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
