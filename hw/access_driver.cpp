#include "hw/access_driver.h"

#include <cstdio>

#include "core/debug_log.h"
#include "core/run_context.h"
#include "core/run_end.h"
#include "platform/os.h"

AccessDriverState g_accessDriver = {false, false, false, FALSE, false, false, INVALID_HANDLE_VALUE, false, false};

namespace {

constexpr int kAcquireAttempts = 10;
constexpr int kKmdfOpens = 10;
constexpr DWORD kKmdfPauseMs = 50;
constexpr DWORD kDirectoryLimit = 255;

const char kAddmemDevice[] = "\\\\.\\ADDMEM";
const char kMemioDevice[] = "\\\\.\\MEMIO.VXD";
const char kKmdfDevice[] = "\\\\.\\KMDFMEMIO\\kmdfmemiosamp.log";
const char kVexaDevice[] = "\\\\.\\VEXA\\VexaDrv.log";
const char kService[] = "ADDMEM";

HANDLE OpenDevice(const char* path) {
    return OsCreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool OpenKmdfOnce() {
    g_accessDriver.device = OpenDevice(kKmdfDevice);
    g_accessDriver.kmdfOpenFailed = g_accessDriver.device == INVALID_HANDLE_VALUE;
    return !g_accessDriver.kmdfOpenFailed;
}

}  // namespace

void ProbeWindowsVersion(void) {
    WindowsKind kind = OsWindowsKind();
    // What a compatibility layer makes GetVersion say decides nothing; once a run, it is shown.
    DWORD told = OsGetVersion();
    bool toldNt = (told & 0x80000000u) == 0;
    if (!g_accessDriver.versionProbed &&
        (toldNt != kind.nt || (told & 0xFF) != kind.major || (told >> 8 & 0xFF) != kind.minor)) {
        LogLine("Windows : %s %lu.%lu, though GetVersion says %s %lu.%lu", kind.nt ? "NT" : "9x", kind.major,
                kind.minor, toldNt ? "NT" : "9x", told & 0xFF, told >> 8 & 0xFF);
    }
    g_accessDriver.versionProbed = true;
    bool six = kind.nt && kind.major == 6;
    g_accessDriver.isWin61 = six && kind.minor == 1;
    g_accessDriver.isWin60 = six && kind.minor == 0;
    g_accessDriver.isWow64 = FALSE;
    IsWow64ProcessFn isWow64Process = OsLookupIsWow64Process();
    if (isWow64Process != nullptr && !isWow64Process(GetCurrentProcess(), &g_accessDriver.isWow64)) {
        g_accessDriver.isWow64 = FALSE;
    }
}

bool IsWindowsNt(void) {
    g_accessDriver.isNt = OsWindowsKind().nt;
    return g_accessDriver.isNt;
}

bool OpenLegacyAccessDevice(void) {
    if (IsWindowsNt()) {
        g_accessDriver.device = OpenDevice(kAddmemDevice);
    } else {
        // Delete-on-close makes Windows 9x unload the VxD with the handle.
        g_accessDriver.device = OsCreateFileA(kMemioDevice, GENERIC_READ | GENERIC_WRITE, 0,
                                              nullptr, 0,
                                              FILE_FLAG_DELETE_ON_CLOSE | FILE_ATTRIBUTE_NORMAL,
                                              nullptr);
    }
    return g_accessDriver.device != INVALID_HANDLE_VALUE;
}

bool RemoveAddmemService(void) {
    if (!IsWindowsNt()) return true;
    SC_HANDLE manager = OsOpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (manager == nullptr) return false;
    SC_HANDLE service = OsOpenServiceA(manager, kService, SERVICE_ALL_ACCESS);
    if (service == nullptr) {
        OsCloseServiceHandle(manager);
        return false;
    }
    SERVICE_STATUS status;
    bool stopped = OsControlService(service, SERVICE_CONTROL_STOP, &status) != 0;
    OsDeleteService(service);
    OsCloseServiceHandle(service);
    OsCloseServiceHandle(manager);
    return stopped;
}

void RemoveInstalledAddmemService(void) {
    if (!g_accessDriver.serviceInstalled) return;
    g_accessDriver.serviceInstalled = false;
    ReleaseAccessDriver();
    if (RemoveAddmemService()) {
        LogLine("ADDMEM service stopped and removed");
    } else {
        LogLine("ADDMEM service not stopped : the driver stays loaded until the next restart");
    }
}

bool InstallAddmemService(void) {
    if (!IsWindowsNt()) return true;
    RemoveAddmemService();
    SC_HANDLE manager = OsOpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (manager == nullptr) return false;

    // The kernel loads the file by this path afresh: only the working place, which nobody but
    // administrators can change, may be named, never wherever the run happens to stand.
    char path[kDirectoryLimit + 1];
    int length = snprintf(path, sizeof path, "%sADDMEM.SYS", g_run.workingDirectory);
    if (!g_run.inWorkingDirectory || length < 0 || length >= static_cast<int>(sizeof path)) {
        OsCloseServiceHandle(manager);
        return false;
    }
    SC_HANDLE service = OsCreateServiceA(manager, kService, kService, SERVICE_ALL_ACCESS,
                                         SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START,
                                         SERVICE_ERROR_NORMAL, path, nullptr, nullptr, nullptr,
                                         nullptr, nullptr);
    if (service == nullptr) {
        OsCloseServiceHandle(manager);
        return false;
    }
    g_accessDriver.serviceInstalled = true;
    OsStartServiceA(service, 0, nullptr);
    OsCloseServiceHandle(service);
    OsCloseServiceHandle(manager);
    return true;
}

bool OpenKmdfAccessDevice(void) {
    if (!g_accessDriver.isWin60) return false;
    for (int i = 0; i < kKmdfOpens; ++i) {
        if (OpenKmdfOnce()) return true;
        Sleep(kKmdfPauseMs);
    }
    return false;
}

namespace {

// The device of this Windows' driver, opened as it stands: nothing is installed.
bool OpenModeDevice() {
    if (!g_accessDriver.versionProbed) ProbeWindowsVersion();
    if (g_accessDriver.isWin60) {
        // Only a presence test: every KMDFMEMIO request opens the device itself.
        if (!OpenKmdfOnce()) return false;
        OsCloseHandle(g_accessDriver.device);
        g_accessDriver.device = INVALID_HANDLE_VALUE;
        return true;
    }
    if (g_accessDriver.isWin61) {
        g_accessDriver.device = OpenDevice(kVexaDevice);
        return g_accessDriver.device != INVALID_HANDLE_VALUE;
    }
    return OpenLegacyAccessDevice();
}

}  // namespace

bool OpenAccessDriver(void) {
    if (OpenModeDevice()) return true;
    if (g_accessDriver.isWin60 || g_accessDriver.isWin61) return false;
    if (!InstallAddmemService()) {
        RemoveAddmemService();
        if (!InstallAddmemService()) return false;
    }
    return OpenLegacyAccessDevice();
}

bool AcquireAccessDriver(void) {
    for (int i = 0; i < kAcquireAttempts; ++i) {
        if (OpenAccessDriver()) {
            g_accessDriver.broughtUp = true;
            return true;
        }
    }
    if (g_accessDriver.isWin61 || g_accessDriver.isWin60) {
        // Input back first: once the keyboard is off, nobody could answer the box.
        EndRun();
        const char text[] = "Fail to update.\nCheck if KTV(Panorell) is installed.\nKTV must be installed to update BIOS.";
        LogText("Driver Load Fail", text);
        // Not through ShowMessage: no package flag silences this box, only a session where nobody
        // could ever answer it.
        if (!g_run.nobodyToAnswer) OsMessageBoxA(nullptr, text, "Driver Load Fail", MB_ICONERROR);
        // ExitProcess runs no exit handlers of the program's own.
        g_run.exitCode = 0xFFFFFFFF;
        LogRunEnd(g_run.exitCode);
        ExitProcess(static_cast<UINT>(-1));
    }
    return false;
}

bool ReacquireAccessDriver(void) {
    for (int i = 0; g_accessDriver.broughtUp && i < kAcquireAttempts; ++i) {
        if (OpenModeDevice()) return true;
    }
    return false;
}

void ReleaseAccessDriver(void) {
    if (g_accessDriver.device != INVALID_HANDLE_VALUE) OsCloseHandle(g_accessDriver.device);
    g_accessDriver.device = INVALID_HANDLE_VALUE;
}
