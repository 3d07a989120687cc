#include "platform/os.h"

HANDLE OsCreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                     DWORD disposition, DWORD flags, HANDLE templateFile) {
    return CreateFileA(name, access, share, security, disposition, flags, templateFile);
}

BOOL OsDeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                       DWORD outSize, LPDWORD returned, LPOVERLAPPED overlapped) {
    return DeviceIoControl(device, code, in, inSize, out, outSize, returned, overlapped);
}

BOOL OsCloseHandle(HANDLE handle) { return CloseHandle(handle); }

SC_HANDLE OsOpenSCManagerA(LPCSTR machine, LPCSTR database, DWORD access) {
    return OpenSCManagerA(machine, database, access);
}

SC_HANDLE OsCreateServiceA(SC_HANDLE manager, LPCSTR name, LPCSTR displayName, DWORD access,
                           DWORD serviceType, DWORD startType, DWORD errorControl,
                           LPCSTR binaryPath, LPCSTR loadOrderGroup, LPDWORD tagId,
                           LPCSTR dependencies, LPCSTR account, LPCSTR password) {
    return CreateServiceA(manager, name, displayName, access, serviceType, startType,
                          errorControl, binaryPath, loadOrderGroup, tagId, dependencies, account,
                          password);
}

SC_HANDLE OsOpenServiceA(SC_HANDLE manager, LPCSTR name, DWORD access) {
    return OpenServiceA(manager, name, access);
}

BOOL OsStartServiceA(SC_HANDLE service, DWORD argc, LPCSTR* argv) {
    return StartServiceA(service, argc, argv);
}

BOOL OsControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status) {
    return ControlService(service, control, status);
}

BOOL OsDeleteService(SC_HANDLE service) { return DeleteService(service); }

BOOL OsCloseServiceHandle(SC_HANDLE handle) { return CloseServiceHandle(handle); }

BOOL OsGetVersionExA(LPOSVERSIONINFOA info) { return GetVersionExA(info); }

DWORD OsGetVersion(void) { return GetVersion(); }

IsWow64ProcessFn OsLookupIsWow64Process(void) {
    return reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32"), "IsWow64Process")));
}

LANGID OsGetSystemDefaultLangID(void) { return GetSystemDefaultLangID(); }

BOOL OsGetSystemPowerStatus(LPSYSTEM_POWER_STATUS status) { return GetSystemPowerStatus(status); }

BOOL OsGetDiskFreeSpaceExA(LPCSTR directory, PULARGE_INTEGER freeToCaller,
                           PULARGE_INTEGER total, PULARGE_INTEGER totalFree) {
    return GetDiskFreeSpaceExA(directory, freeToCaller, total, totalFree);
}

HDEVINFO OsSetupDiGetClassDevsW(const GUID* classGuid, PCWSTR enumerator, HWND parent,
                                DWORD flags) {
    return SetupDiGetClassDevsW(classGuid, enumerator, parent, flags);
}

BOOL OsSetupDiEnumDeviceInfo(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA data) {
    return SetupDiEnumDeviceInfo(set, index, data);
}

BOOL OsSetupDiGetDeviceRegistryPropertyW(HDEVINFO set, PSP_DEVINFO_DATA data, DWORD property,
                                         PDWORD type, PBYTE buffer, DWORD size,
                                         PDWORD required) {
    return SetupDiGetDeviceRegistryPropertyW(set, data, property, type, buffer, size, required);
}

BOOL OsSetupDiSetClassInstallParamsW(HDEVINFO set, PSP_DEVINFO_DATA data,
                                     PSP_CLASSINSTALL_HEADER params, DWORD size) {
    return SetupDiSetClassInstallParamsW(set, data, params, size);
}

BOOL OsSetupDiCallClassInstaller(DI_FUNCTION function, HDEVINFO set, PSP_DEVINFO_DATA data) {
    return SetupDiCallClassInstaller(function, set, data);
}

BOOL OsSetupDiDestroyDeviceInfoList(HDEVINFO set) { return SetupDiDestroyDeviceInfoList(set); }

CONFIGRET OsCM_Get_DevNode_Status(PULONG status, PULONG problem, DEVINST devInst, ULONG flags) {
    return CM_Get_DevNode_Status(status, problem, devInst, flags);
}

BOOL OsOpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
    return OpenProcessToken(process, access, token);
}

BOOL OsLookupPrivilegeValueA(LPCSTR system, LPCSTR name, PLUID luid) {
    return LookupPrivilegeValueA(system, name, luid);
}

BOOL OsAdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState,
                             DWORD size, PTOKEN_PRIVILEGES previous, PDWORD returned) {
    return AdjustTokenPrivileges(token, disableAll, newState, size, previous, returned);
}

BOOL OsExitWindowsEx(UINT flags, DWORD reason) { return ExitWindowsEx(flags, reason); }

int OsMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    return MessageBoxA(owner, text, caption, type);
}
