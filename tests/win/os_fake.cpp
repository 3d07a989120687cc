// No access driver or drive answers here: every device open fails as on a machine without
// them. Message boxes and power-off are recorded instead of shown or done.
#include "tests/win/os_fake.h"

#include "platform/os.h"
#include "tests/win/call_log.h"

FakeOs g_fakeOs;

HANDLE OsCreateFileA(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
}

BOOL OsDeviceIoControl(HANDLE, DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD, LPOVERLAPPED) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

BOOL OsCloseHandle(HANDLE) { return TRUE; }

SC_HANDLE OsOpenSCManagerA(LPCSTR, LPCSTR, DWORD) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
}

SC_HANDLE OsCreateServiceA(SC_HANDLE, LPCSTR, LPCSTR, DWORD, DWORD, DWORD, DWORD, LPCSTR,
                           LPCSTR, LPDWORD, LPCSTR, LPCSTR, LPCSTR) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

SC_HANDLE OsOpenServiceA(SC_HANDLE, LPCSTR, DWORD) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

BOOL OsStartServiceA(SC_HANDLE, DWORD, LPCSTR*) { return FALSE; }
BOOL OsControlService(SC_HANDLE, DWORD, LPSERVICE_STATUS) { return FALSE; }
BOOL OsDeleteService(SC_HANDLE) { return FALSE; }
BOOL OsCloseServiceHandle(SC_HANDLE) { return TRUE; }

BOOL OsGetVersionExA(LPOSVERSIONINFOA info) {
    if (info->dwOSVersionInfoSize < sizeof(OSVERSIONINFOA)) return FALSE;
    info->dwMajorVersion = 5;
    info->dwMinorVersion = 1;
    info->dwBuildNumber = 2600;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    return TRUE;
}

DWORD OsGetVersion(void) { return 0x0A280105; }
IsWow64ProcessFn OsLookupIsWow64Process(void) { return nullptr; }
LANGID OsGetSystemDefaultLangID(void) { return 0x0409; }

BOOL OsGetSystemPowerStatus(LPSYSTEM_POWER_STATUS status) {
    *status = SYSTEM_POWER_STATUS{};
    status->ACLineStatus = 1;
    status->BatteryLifePercent = 100;
    return TRUE;
}

BOOL OsGetDiskFreeSpaceExA(LPCSTR, PULARGE_INTEGER freeToCaller, PULARGE_INTEGER total,
                           PULARGE_INTEGER totalFree) {
    const ULONGLONG space = 10ULL << 30;
    if (freeToCaller) freeToCaller->QuadPart = space;
    if (total) total->QuadPart = 2 * space;
    if (totalFree) totalFree->QuadPart = space;
    return TRUE;
}

HDEVINFO OsSetupDiGetClassDevsW(const GUID*, PCWSTR, HWND, DWORD) {
    SetLastError(ERROR_INVALID_DATA);
    return INVALID_HANDLE_VALUE;
}

BOOL OsSetupDiEnumDeviceInfo(HDEVINFO, DWORD, PSP_DEVINFO_DATA) {
    SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
}

BOOL OsSetupDiGetDeviceRegistryPropertyW(HDEVINFO, PSP_DEVINFO_DATA, DWORD, PDWORD, PBYTE,
                                         DWORD, PDWORD) {
    return FALSE;
}

BOOL OsSetupDiSetClassInstallParamsW(HDEVINFO, PSP_DEVINFO_DATA, PSP_CLASSINSTALL_HEADER,
                                     DWORD) {
    return FALSE;
}

BOOL OsSetupDiCallClassInstaller(DI_FUNCTION, HDEVINFO, PSP_DEVINFO_DATA) { return FALSE; }
BOOL OsSetupDiDestroyDeviceInfoList(HDEVINFO) { return TRUE; }
CONFIGRET OsCM_Get_DevNode_Status(PULONG, PULONG, DEVINST, ULONG) { return CR_NO_SUCH_DEVNODE; }

BOOL OsOpenProcessToken(HANDLE, DWORD, PHANDLE token) {
    *token = reinterpret_cast<HANDLE>(0x1234);
    return TRUE;
}

BOOL OsLookupPrivilegeValueA(LPCSTR, LPCSTR, PLUID luid) {
    luid->LowPart = 19;
    luid->HighPart = 0;
    return TRUE;
}

BOOL OsAdjustTokenPrivileges(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES, PDWORD) {
    return TRUE;
}

BOOL OsExitWindowsEx(UINT flags, DWORD) {
    g_fakeOs.exitWindowsFlags.push_back(flags);
    return TRUE;
}

int OsMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    g_fakeOs.boxes.push_back({owner, caption ? caption : "", text ? text : "", type});
    RecordCall(std::string("MessageBox ") + (caption ? caption : ""));
    if (g_fakeOs.answers.empty()) return IDOK;
    int answer = g_fakeOs.answers.front();
    g_fakeOs.answers.pop_front();
    return answer;
}
