// The OS boundary: the few Win32 calls that reach the machine or the person in front of it.
// Each has the Win32 signature; os_win32.cpp forwards 1:1, the Windows unit tests link a fake.
// BitLocker's three calls stand for a whole WMI conversation each: os_bitlocker.cpp.
#pragma once
#include <windows.h>
#include <setupapi.h>
#include <cfgmgr32.h>
#include <powrprof.h>

#include "platform/bitlocker_volume.h"

// Device handles of the access drivers and the physical drives; directories opened as themselves
// (Windows 95, 98 and Me open none).
HANDLE OsCreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                     DWORD disposition, DWORD flags, HANDLE templateFile);
BOOL OsDeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                       DWORD outSize, LPDWORD returned, LPOVERLAPPED overlapped);
BOOL OsCloseHandle(HANDLE handle);

// The service control manager.
SC_HANDLE OsOpenSCManagerA(LPCSTR machine, LPCSTR database, DWORD access);
SC_HANDLE OsCreateServiceA(SC_HANDLE manager, LPCSTR name, LPCSTR displayName, DWORD access,
                           DWORD serviceType, DWORD startType, DWORD errorControl,
                           LPCSTR binaryPath, LPCSTR loadOrderGroup, LPDWORD tagId,
                           LPCSTR dependencies, LPCSTR account, LPCSTR password);
SC_HANDLE OsOpenServiceA(SC_HANDLE manager, LPCSTR name, DWORD access);
BOOL OsStartServiceA(SC_HANDLE service, DWORD argc, LPCSTR* argv);
BOOL OsControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status);
BOOL OsDeleteService(SC_HANDLE service);
BOOL OsCloseServiceHandle(SC_HANDLE handle);

// A function of a system DLL (loaded from the system directory), or nullptr where this Windows
// lacks it: what a Windows the program claims may lack is looked up through this, never imported.
FARPROC OsGetProcAddress(LPCSTR dll, LPCSTR name);

// Typed.
template <typename Fn>
Fn OsLookup(LPCSTR dll, LPCSTR name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(OsGetProcAddress(dll, name)));
}

// What Windows this is, from what no compatibility layer can change: NT when ntdll is mapped in
// the process (it is in every NT process, in no 9x one), its version then from the page the
// kernel shares with every process. Every decision on NT or 9x and on the version uses this.
struct WindowsKind {
    bool nt;
    DWORD major;
    DWORD minor;
};
WindowsKind OsWindowsKind(void);

// Windows version as a compatibility layer may tell it: only ever logged beside the kind.
typedef BOOL(WINAPI* IsWow64ProcessFn)(HANDLE, PBOOL);
DWORD OsGetVersion(void);
IsWow64ProcessFn OsLookupIsWow64Process(void);  // nullptr where kernel32 has no such export
LANGID OsGetSystemDefaultLangID(void);

// Whether the system volume keeps ACLs (FILE_PERSISTENT_ACLS), among its flags.
BOOL OsGetVolumeInformationA(LPCSTR root, LPSTR name, DWORD nameSize, LPDWORD serial, LPDWORD maxComponent,
                             LPDWORD flags, LPSTR fileSystem, DWORD fileSystemSize);

// Power and disk space.
BOOL OsGetSystemPowerStatus(LPSYSTEM_POWER_STATUS status);
BOOL OsGetDiskFreeSpaceExA(LPCSTR directory, PULARGE_INTEGER freeToCaller,
                           PULARGE_INTEGER total, PULARGE_INTEGER totalFree);

// The mouse layer.
HDEVINFO OsSetupDiGetClassDevsW(const GUID* classGuid, PCWSTR enumerator, HWND parent,
                                DWORD flags);
BOOL OsSetupDiEnumDeviceInfo(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA data);
BOOL OsSetupDiGetDeviceRegistryPropertyW(HDEVINFO set, PSP_DEVINFO_DATA data, DWORD property,
                                         PDWORD type, PBYTE buffer, DWORD size,
                                         PDWORD required);
BOOL OsSetupDiSetClassInstallParamsW(HDEVINFO set, PSP_DEVINFO_DATA data,
                                     PSP_CLASSINSTALL_HEADER params, DWORD size);
BOOL OsSetupDiCallClassInstaller(DI_FUNCTION function, HDEVINFO set, PSP_DEVINFO_DATA data);
BOOL OsSetupDiDestroyDeviceInfoList(HDEVINFO set);
CONFIGRET OsCM_Get_DevNode_Status(PULONG status, PULONG problem, DEVINST devInst, ULONG flags);

// BitLocker on a volume ("C:"), through WMI's Win32_EncryptableVolume. Each returns S_OK or the
// COM, WMI or BitLocker error that stopped it; the query reports a volume that is not listed
// in volume->listed, not as an error.
HRESULT OsBitLockerQuery(LPCSTR drive, BitLockerVolume* volume);
HRESULT OsBitLockerSuspend(LPCSTR drive, UINT restarts);  // protection back on after that many restarts
HRESULT OsBitLockerResume(LPCSTR drive);

// The end of a flasher: tests make the wait or the exit status fail.
DWORD OsWaitForSingleObject(HANDLE handle, DWORD milliseconds);
BOOL OsGetExitCodeProcess(HANDLE process, LPDWORD exitCode);

// Privilege and shutdown.
BOOL OsOpenProcessToken(HANDLE process, DWORD access, PHANDLE token);
BOOL OsLookupPrivilegeValueA(LPCSTR system, LPCSTR name, PLUID luid);
BOOL OsAdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState,
                             DWORD size, PTOKEN_PRIVILEGES previous, PDWORD returned);
BOOL OsExitWindowsEx(UINT flags, DWORD reason);

// Keeping the machine on while firmware is written. Each is looked up (2000 and 98 lack the
// newer ones) and fails as the call fails where it is missing; the power requests return
// INVALID_HANDLE_VALUE then.
EXECUTION_STATE OsSetThreadExecutionState(EXECUTION_STATE flags);
HANDLE OsPowerCreateRequest(PREASON_CONTEXT context);
BOOL OsPowerSetRequest(HANDLE request, POWER_REQUEST_TYPE type);
BOOL OsPowerClearRequest(HANDLE request, POWER_REQUEST_TYPE type);
BOOL OsShutdownBlockReasonCreate(HWND window, LPCWSTR reason);
BOOL OsShutdownBlockReasonDestroy(HWND window);
// The lid's action: a power scheme's values on Vista and later, the global policy on 2000 and XP.
DWORD OsPowerGetActiveScheme(HKEY root, GUID** scheme);
DWORD OsPowerReadACValueIndex(HKEY root, const GUID* scheme, const GUID* subgroup, const GUID* setting,
                              LPDWORD value);
DWORD OsPowerReadDCValueIndex(HKEY root, const GUID* scheme, const GUID* subgroup, const GUID* setting,
                              LPDWORD value);
DWORD OsPowerWriteACValueIndex(HKEY root, const GUID* scheme, const GUID* subgroup, const GUID* setting,
                               DWORD value);
DWORD OsPowerWriteDCValueIndex(HKEY root, const GUID* scheme, const GUID* subgroup, const GUID* setting,
                               DWORD value);
DWORD OsPowerSetActiveScheme(HKEY root, const GUID* scheme);
BOOLEAN OsReadGlobalPwrPolicy(PGLOBAL_POWER_POLICY policy);
BOOLEAN OsWriteGlobalPwrPolicy(PGLOBAL_POWER_POLICY policy);

// The person in front of the machine, and whether there is one: the process's session and its
// window station.
int OsMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
BOOL OsProcessIdToSessionId(DWORD processId, DWORD* session);
HWINSTA OsGetProcessWindowStation(void);
BOOL OsGetUserObjectInformationA(HANDLE object, int index, PVOID info, DWORD size, LPDWORD needed);
