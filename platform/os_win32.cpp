#include "platform/os.h"

// Calls a claimed Windows may lack go through OsLookup (platform/os_lookup.cpp) and fail, where
// they are missing, as the call itself fails. Windows 95, 98 and Me export many of them as stubs
// that do nothing, return 0 and set ERROR_CALL_NOT_IMPLEMENTED: each result is read so that
// such a 0 is a failure.

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
    auto call = OsLookup<decltype(&OpenSCManagerA)>("advapi32.dll", "OpenSCManagerA");
    return call ? call(machine, database, access) : nullptr;
}

SC_HANDLE OsCreateServiceA(SC_HANDLE manager, LPCSTR name, LPCSTR displayName, DWORD access,
                           DWORD serviceType, DWORD startType, DWORD errorControl,
                           LPCSTR binaryPath, LPCSTR loadOrderGroup, LPDWORD tagId,
                           LPCSTR dependencies, LPCSTR account, LPCSTR password) {
    auto call = OsLookup<decltype(&CreateServiceA)>("advapi32.dll", "CreateServiceA");
    if (call == nullptr) return nullptr;
    return call(manager, name, displayName, access, serviceType, startType,
                          errorControl, binaryPath, loadOrderGroup, tagId, dependencies, account,
                          password);
}

SC_HANDLE OsOpenServiceA(SC_HANDLE manager, LPCSTR name, DWORD access) {
    auto call = OsLookup<decltype(&OpenServiceA)>("advapi32.dll", "OpenServiceA");
    return call ? call(manager, name, access) : nullptr;
}

BOOL OsStartServiceA(SC_HANDLE service, DWORD argc, LPCSTR* argv) {
    auto call = OsLookup<decltype(&StartServiceA)>("advapi32.dll", "StartServiceA");
    return call ? call(service, argc, argv) : FALSE;
}

BOOL OsControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status) {
    auto call = OsLookup<decltype(&ControlService)>("advapi32.dll", "ControlService");
    return call ? call(service, control, status) : FALSE;
}

BOOL OsDeleteService(SC_HANDLE service) {
    auto call = OsLookup<decltype(&DeleteService)>("advapi32.dll", "DeleteService");
    return call ? call(service) : FALSE;
}

BOOL OsCloseServiceHandle(SC_HANDLE handle) {
    auto call = OsLookup<decltype(&CloseServiceHandle)>("advapi32.dll", "CloseServiceHandle");
    return call ? call(handle) : FALSE;
}


DWORD OsGetVersion(void) { return GetVersion(); }

IsWow64ProcessFn OsLookupIsWow64Process(void) {
    return OsLookup<IsWow64ProcessFn>("kernel32.dll", "IsWow64Process");
}

LANGID OsGetSystemDefaultLangID(void) { return GetSystemDefaultLangID(); }

BOOL OsGetVolumeInformationA(LPCSTR root, LPSTR name, DWORD nameSize, LPDWORD serial, LPDWORD maxComponent,
                             LPDWORD flags, LPSTR fileSystem, DWORD fileSystemSize) {
    return GetVolumeInformationA(root, name, nameSize, serial, maxComponent, flags, fileSystem, fileSystemSize);
}

BOOL OsGetSystemPowerStatus(LPSYSTEM_POWER_STATUS status) { return GetSystemPowerStatus(status); }

BOOL OsGetDiskFreeSpaceExA(LPCSTR directory, PULARGE_INTEGER freeToCaller,
                           PULARGE_INTEGER total, PULARGE_INTEGER totalFree) {
    return GetDiskFreeSpaceExA(directory, freeToCaller, total, totalFree);
}

HDEVINFO OsSetupDiGetClassDevsW(const GUID* classGuid, PCWSTR enumerator, HWND parent,
                                DWORD flags) {
    auto call = OsLookup<decltype(&SetupDiGetClassDevsW)>("setupapi.dll", "SetupDiGetClassDevsW");
    HDEVINFO set = call ? call(classGuid, enumerator, parent, flags) : INVALID_HANDLE_VALUE;
    // 9x's stub of the wide call answers NULL, which no set is.
    return set != nullptr ? set : INVALID_HANDLE_VALUE;
}

BOOL OsSetupDiEnumDeviceInfo(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA data) {
    auto call = OsLookup<decltype(&SetupDiEnumDeviceInfo)>("setupapi.dll", "SetupDiEnumDeviceInfo");
    return call ? call(set, index, data) : FALSE;
}

BOOL OsSetupDiGetDeviceRegistryPropertyW(HDEVINFO set, PSP_DEVINFO_DATA data, DWORD property,
                                         PDWORD type, PBYTE buffer, DWORD size,
                                         PDWORD required) {
    auto call = OsLookup<decltype(&SetupDiGetDeviceRegistryPropertyW)>("setupapi.dll", "SetupDiGetDeviceRegistryPropertyW");
    return call ? call(set, data, property, type, buffer, size, required) : FALSE;
}

BOOL OsSetupDiSetClassInstallParamsW(HDEVINFO set, PSP_DEVINFO_DATA data,
                                     PSP_CLASSINSTALL_HEADER params, DWORD size) {
    auto call = OsLookup<decltype(&SetupDiSetClassInstallParamsW)>("setupapi.dll", "SetupDiSetClassInstallParamsW");
    return call ? call(set, data, params, size) : FALSE;
}

BOOL OsSetupDiCallClassInstaller(DI_FUNCTION function, HDEVINFO set, PSP_DEVINFO_DATA data) {
    auto call = OsLookup<decltype(&SetupDiCallClassInstaller)>("setupapi.dll", "SetupDiCallClassInstaller");
    return call ? call(function, set, data) : FALSE;
}

BOOL OsSetupDiDestroyDeviceInfoList(HDEVINFO set) {
    auto call = OsLookup<decltype(&SetupDiDestroyDeviceInfoList)>("setupapi.dll", "SetupDiDestroyDeviceInfoList");
    return call ? call(set) : FALSE;
}

CONFIGRET OsCM_Get_DevNode_Status(PULONG status, PULONG problem, DEVINST devInst, ULONG flags) {
    auto call = OsLookup<decltype(&CM_Get_DevNode_Status)>("cfgmgr32.dll", "CM_Get_DevNode_Status");
    // A stub answers 0, which is CR_SUCCESS here: the status it leaves then reads as nothing.
    *status = 0;
    *problem = 0;
    return call ? call(status, problem, devInst, flags) : CR_FAILURE;
}

BOOL OsOpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
    auto call = OsLookup<decltype(&OpenProcessToken)>("advapi32.dll", "OpenProcessToken");
    return call ? call(process, access, token) : FALSE;
}

BOOL OsLookupPrivilegeValueA(LPCSTR system, LPCSTR name, PLUID luid) {
    auto call = OsLookup<decltype(&LookupPrivilegeValueA)>("advapi32.dll", "LookupPrivilegeValueA");
    return call ? call(system, name, luid) : FALSE;
}

BOOL OsAdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState,
                             DWORD size, PTOKEN_PRIVILEGES previous, PDWORD returned) {
    auto call = OsLookup<decltype(&AdjustTokenPrivileges)>("advapi32.dll", "AdjustTokenPrivileges");
    return call ? call(token, disableAll, newState, size, previous, returned) : FALSE;
}

BOOL OsExitWindowsEx(UINT flags, DWORD reason) { return ExitWindowsEx(flags, reason); }

DWORD OsWaitForSingleObject(HANDLE handle, DWORD milliseconds) { return WaitForSingleObject(handle, milliseconds); }

BOOL OsGetExitCodeProcess(HANDLE process, LPDWORD exitCode) { return GetExitCodeProcess(process, exitCode); }

EXECUTION_STATE OsSetThreadExecutionState(EXECUTION_STATE flags) {
    auto call = OsLookup<decltype(&SetThreadExecutionState)>("kernel32.dll", "SetThreadExecutionState");
    if (call == nullptr) SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return call ? call(flags) : 0;
}

HANDLE OsPowerCreateRequest(PREASON_CONTEXT context) {
    auto call = OsLookup<decltype(&PowerCreateRequest)>("kernel32.dll", "PowerCreateRequest");
    if (call == nullptr) SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return call ? call(context) : INVALID_HANDLE_VALUE;
}

BOOL OsPowerSetRequest(HANDLE request, POWER_REQUEST_TYPE type) {
    auto call = OsLookup<decltype(&PowerSetRequest)>("kernel32.dll", "PowerSetRequest");
    return call ? call(request, type) : FALSE;
}

BOOL OsPowerClearRequest(HANDLE request, POWER_REQUEST_TYPE type) {
    auto call = OsLookup<decltype(&PowerClearRequest)>("kernel32.dll", "PowerClearRequest");
    return call ? call(request, type) : FALSE;
}

BOOL OsShutdownBlockReasonCreate(HWND window, LPCWSTR reason) {
    auto call = OsLookup<decltype(&ShutdownBlockReasonCreate)>("user32.dll", "ShutdownBlockReasonCreate");
    if (call == nullptr) SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return call ? call(window, reason) : FALSE;
}

BOOL OsShutdownBlockReasonDestroy(HWND window) {
    auto call = OsLookup<decltype(&ShutdownBlockReasonDestroy)>("user32.dll", "ShutdownBlockReasonDestroy");
    return call ? call(window) : FALSE;
}

DWORD OsPowerGetActiveScheme(HKEY root, GUID** scheme) {
    auto call = OsLookup<decltype(&PowerGetActiveScheme)>("powrprof.dll", "PowerGetActiveScheme");
    return call ? call(root, scheme) : ERROR_CALL_NOT_IMPLEMENTED;
}

DWORD OsPowerReadACValueIndex(HKEY root, const GUID* scheme, const GUID* subgroup, const GUID* setting,
                              LPDWORD value) {
    auto call = OsLookup<decltype(&PowerReadACValueIndex)>("powrprof.dll", "PowerReadACValueIndex");
    return call ? call(root, scheme, subgroup, setting, value) : ERROR_CALL_NOT_IMPLEMENTED;
}

DWORD OsPowerReadDCValueIndex(HKEY root, const GUID* scheme, const GUID* subgroup, const GUID* setting,
                              LPDWORD value) {
    auto call = OsLookup<decltype(&PowerReadDCValueIndex)>("powrprof.dll", "PowerReadDCValueIndex");
    return call ? call(root, scheme, subgroup, setting, value) : ERROR_CALL_NOT_IMPLEMENTED;
}

DWORD OsPowerWriteACValueIndex(HKEY root, const GUID* scheme, const GUID* subgroup, const GUID* setting,
                               DWORD value) {
    auto call = OsLookup<decltype(&PowerWriteACValueIndex)>("powrprof.dll", "PowerWriteACValueIndex");
    return call ? call(root, scheme, subgroup, setting, value) : ERROR_CALL_NOT_IMPLEMENTED;
}

DWORD OsPowerWriteDCValueIndex(HKEY root, const GUID* scheme, const GUID* subgroup, const GUID* setting,
                               DWORD value) {
    auto call = OsLookup<decltype(&PowerWriteDCValueIndex)>("powrprof.dll", "PowerWriteDCValueIndex");
    return call ? call(root, scheme, subgroup, setting, value) : ERROR_CALL_NOT_IMPLEMENTED;
}

DWORD OsPowerSetActiveScheme(HKEY root, const GUID* scheme) {
    auto call = OsLookup<decltype(&PowerSetActiveScheme)>("powrprof.dll", "PowerSetActiveScheme");
    return call ? call(root, scheme) : ERROR_CALL_NOT_IMPLEMENTED;
}

BOOLEAN OsReadGlobalPwrPolicy(PGLOBAL_POWER_POLICY policy) {
    auto call = OsLookup<decltype(&ReadGlobalPwrPolicy)>("powrprof.dll", "ReadGlobalPwrPolicy");
    return call ? call(policy) : FALSE;
}

BOOLEAN OsWriteGlobalPwrPolicy(PGLOBAL_POWER_POLICY policy) {
    auto call = OsLookup<decltype(&WriteGlobalPwrPolicy)>("powrprof.dll", "WriteGlobalPwrPolicy");
    return call ? call(policy) : FALSE;
}

int OsMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    return MessageBoxA(owner, text, caption, type);
}

BOOL OsProcessIdToSessionId(DWORD processId, DWORD* session) {
    auto call = OsLookup<decltype(&ProcessIdToSessionId)>("kernel32.dll", "ProcessIdToSessionId");
    return call ? call(processId, session) : FALSE;
}

HWINSTA OsGetProcessWindowStation(void) {
    auto call = OsLookup<decltype(&GetProcessWindowStation)>("user32.dll", "GetProcessWindowStation");
    return call ? call() : nullptr;
}

BOOL OsGetUserObjectInformationA(HANDLE object, int index, PVOID info, DWORD size, LPDWORD needed) {
    auto call = OsLookup<decltype(&GetUserObjectInformationA)>("user32.dll", "GetUserObjectInformationA");
    return call ? call(object, index, info, size, needed) : FALSE;
}
