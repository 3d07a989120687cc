// The real OS boundary on a Windows that lacks what it looks up, or finds 9x's failing stub: each
// wrapper then fails as its call fails, so that the run takes the path of a failed call (no
// driver service, no token, no mouse device, no BitLocker) instead of crashing. The lookup is
// this test's, hiding or stubbing one name.
// Rows that hand a call an empty handle would fail anyway: the last error, which every reached
// call sets on such a failure, shows that a missing call was never reached.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>

#include "platform/dll_search.h"
#include "platform/os.h"
#include "tests/support/win9x_exports.h"
#include "update/bitlocker_decisions.h"

namespace {

std::string g_missing;
bool g_stubbed = false;  // the name is 9x's failing stub instead of missing

}  // namespace

FARPROC OsGetProcAddress(LPCSTR dll, LPCSTR name) {
    FARPROC stub = nullptr;
    if (g_missing == name) return g_stubbed && Win9xExport(name, &stub) ? stub : nullptr;
    return GetProcAddress(LoadLibraryA(dll), name);
}

TEST(OsLookup, EachMissingCallFailsAsTheCallFails) {
    SC_HANDLE noService = nullptr;
    SERVICE_STATUS status;
    HANDLE token = nullptr;
    LUID luid;
    ULONG devStatus = 0, problem = 0;
    SP_DEVINFO_DATA device = {sizeof device, {}, 0, 0};
    BitLockerVolume volume = {};
    const struct {
        const char* name;
        std::function<bool()> failed;
    } cases[] = {
        {"IsWow64Process", [] { return OsLookupIsWow64Process() == nullptr; }},
        {"OpenSCManagerA", [] { return OsOpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT) == nullptr; }},
        {"CreateServiceA", [&] { return OsCreateServiceA(noService, "x", "x", 0, 1, 3, 1, "x", nullptr, nullptr,
                                                          nullptr, nullptr, nullptr) == nullptr; }},
        {"OpenServiceA", [&] { return OsOpenServiceA(noService, "x", 0) == nullptr; }},
        {"StartServiceA", [&] { return !OsStartServiceA(noService, 0, nullptr); }},
        {"ControlService", [&] { return !OsControlService(noService, SERVICE_CONTROL_STOP, &status); }},
        {"DeleteService", [&] { return !OsDeleteService(noService); }},
        {"CloseServiceHandle", [&] { return !OsCloseServiceHandle(noService); }},
        {"OpenProcessToken", [&] { return !OsOpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token); }},
        {"LookupPrivilegeValueA", [&] { return !OsLookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &luid); }},
        {"AdjustTokenPrivileges", [&] { return !OsAdjustTokenPrivileges(nullptr, FALSE, nullptr, 0, nullptr, nullptr); }},
        {"SetupDiGetClassDevsW", [] { return OsSetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES) ==
                                              INVALID_HANDLE_VALUE; }},
        {"SetupDiEnumDeviceInfo", [&] { return !OsSetupDiEnumDeviceInfo(nullptr, 0, &device); }},
        {"CM_Get_DevNode_Status", [&] { return OsCM_Get_DevNode_Status(&devStatus, &problem, 0, 0) == CR_FAILURE; }},
        {"CoInitializeEx", [&] { return OsBitLockerQuery("C:", &volume) == REGDB_E_CLASSNOTREG; }},
        {"SafeArrayGetUBound", [&] { return OsBitLockerSuspend("C:", 1) == REGDB_E_CLASSNOTREG; }},
        // The flash guard's: those that report through the last error say "not implemented".
        {"SetThreadExecutionState", [] { return OsSetThreadExecutionState(ES_CONTINUOUS) == 0 &&
                                                GetLastError() == ERROR_CALL_NOT_IMPLEMENTED; }},
        {"PowerCreateRequest", [] { return OsPowerCreateRequest(nullptr) == INVALID_HANDLE_VALUE &&
                                           GetLastError() == ERROR_CALL_NOT_IMPLEMENTED; }},
        {"ShutdownBlockReasonCreate", [] { return !OsShutdownBlockReasonCreate(nullptr, L"x") &&
                                                  GetLastError() == ERROR_CALL_NOT_IMPLEMENTED; }},
        {"PowerGetActiveScheme", [] {
             GUID* scheme = nullptr;
             return OsPowerGetActiveScheme(nullptr, &scheme) == ERROR_CALL_NOT_IMPLEMENTED && scheme == nullptr;
         }},
        {"ReadGlobalPwrPolicy", [] {
             GLOBAL_POWER_POLICY policy = {};
             return !OsReadGlobalPwrPolicy(&policy);
         }},
    };
    constexpr DWORD kUntouched = 0x00E0DEAD;
    // Then each call that Windows 98 and Me export as a stub, handed out as that stub.
    for (bool stubbed : {false, true})
    for (const auto& c : cases) {
        FARPROC stub = nullptr;
        if (stubbed && !(Win9xExport(c.name, &stub) && stub != nullptr)) continue;
        SCOPED_TRACE(std::string(c.name) + (stubbed ? " as 9x's stub" : " missing"));
        g_missing = c.name;
        g_stubbed = stubbed;
        SetLastError(kUntouched);
        EXPECT_TRUE(c.failed());
        // COM's lookups load their DLLs: their result alone tells.
        const std::string name = c.name;
        bool com = name == "CoInitializeEx" || name == "SafeArrayGetUBound";
        bool says = name == "SetThreadExecutionState" || name == "PowerCreateRequest" || name == "ShutdownBlockReasonCreate";
        if (!com && !says && !stubbed) {
            EXPECT_EQ(GetLastError(), kUntouched) << "a call was reached";
        }
    }
    g_missing.clear();
    // With nothing missing the same calls reach the system: the rows above fail for the lookup.
    SC_HANDLE manager = OsOpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    EXPECT_NE(manager, nullptr);
    if (manager) OsCloseServiceHandle(manager);
    HDEVINFO devices = OsSetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    EXPECT_NE(devices, INVALID_HANDLE_VALUE);
    if (devices != INVALID_HANDLE_VALUE) OsSetupDiDestroyDeviceInfoList(devices);
    char line[96];
    EXPECT_EQ(DecideBitLocker(10, 0, static_cast<uint32_t>(REGDB_E_CLASSNOTREG), volume, "C:", line, sizeof line),
              BitLockerStep::LeaveAlone);
    EXPECT_STREQ(line, "BitLocker : not available (0x80040154)") << "no COM reads as no BitLocker";
}

// Where the loader cannot be told to leave the current directory out, the system directory
// becomes current; elsewhere the current directory stays as it was.
TEST(OsLookup, WithoutSetDllDirectoryTheSystemDirectoryIsCurrent) {
    char start[MAX_PATH];
    char system[MAX_PATH];
    char now[MAX_PATH];
    GetCurrentDirectoryA(sizeof start, start);
    GetSystemDirectoryA(system, sizeof system);
    for (bool missing : {false, true}) {
        g_missing = missing ? "SetDllDirectoryA" : "";
        RestrictDllSearch();
        GetCurrentDirectoryA(sizeof now, now);
        EXPECT_EQ(lstrcmpiA(now, missing ? system : start), 0) << now;
        SetCurrentDirectoryA(start);
    }
    g_missing.clear();
}
