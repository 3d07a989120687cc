#include "platform/os.h"

#include "platform/dll_search.h"

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

// SETUPAPI is no KnownDLL everywhere: imported, it would be looked for beside the program first.
// It is loaded from the system directory at its first use; where a call is missing, the call
// fails as the device layer expects a failed call to.
template <typename Fn>
Fn SetupApi(const char* name) {
    static HMODULE setupApi = LoadSystemDll("setupapi.dll");
    return setupApi ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(setupApi, name))) : nullptr;
}

HDEVINFO OsSetupDiGetClassDevsW(const GUID* classGuid, PCWSTR enumerator, HWND parent,
                                DWORD flags) {
    auto call = SetupApi<decltype(&SetupDiGetClassDevsW)>("SetupDiGetClassDevsW");
    return call ? call(classGuid, enumerator, parent, flags) : INVALID_HANDLE_VALUE;
}

BOOL OsSetupDiEnumDeviceInfo(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA data) {
    auto call = SetupApi<decltype(&SetupDiEnumDeviceInfo)>("SetupDiEnumDeviceInfo");
    return call ? call(set, index, data) : FALSE;
}

BOOL OsSetupDiGetDeviceRegistryPropertyW(HDEVINFO set, PSP_DEVINFO_DATA data, DWORD property,
                                         PDWORD type, PBYTE buffer, DWORD size,
                                         PDWORD required) {
    auto call = SetupApi<decltype(&SetupDiGetDeviceRegistryPropertyW)>("SetupDiGetDeviceRegistryPropertyW");
    return call ? call(set, data, property, type, buffer, size, required) : FALSE;
}

BOOL OsSetupDiSetClassInstallParamsW(HDEVINFO set, PSP_DEVINFO_DATA data,
                                     PSP_CLASSINSTALL_HEADER params, DWORD size) {
    auto call = SetupApi<decltype(&SetupDiSetClassInstallParamsW)>("SetupDiSetClassInstallParamsW");
    return call ? call(set, data, params, size) : FALSE;
}

BOOL OsSetupDiCallClassInstaller(DI_FUNCTION function, HDEVINFO set, PSP_DEVINFO_DATA data) {
    auto call = SetupApi<decltype(&SetupDiCallClassInstaller)>("SetupDiCallClassInstaller");
    return call ? call(function, set, data) : FALSE;
}

BOOL OsSetupDiDestroyDeviceInfoList(HDEVINFO set) {
    auto call = SetupApi<decltype(&SetupDiDestroyDeviceInfoList)>("SetupDiDestroyDeviceInfoList");
    return call ? call(set) : FALSE;
}

CONFIGRET OsCM_Get_DevNode_Status(PULONG status, PULONG problem, DEVINST devInst, ULONG flags) {
    auto call = SetupApi<decltype(&CM_Get_DevNode_Status)>("CM_Get_DevNode_Status");
    return call ? call(status, problem, devInst, flags) : CR_FAILURE;
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
