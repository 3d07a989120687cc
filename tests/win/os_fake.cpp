#include "tests/win/os_fake.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include <wbemcli.h>
#include <wincrypt.h>

#include "package/place_security.h"
#include "platform/os.h"
#include "sim/request_decoder.h"
#include "sim/smart_drives.h"
#include "tests/support/win9x_exports.h"
#include "tests/win/call_log.h"

FakeOs g_fakeOs;

namespace {

// Fake handles: a base plus the device, so a request finds its driver.
constexpr uintptr_t kDeviceHandleBase = 0x7A000;
constexpr uintptr_t kDriveHandleBase = 0x7C000;
const HANDLE kSmartVsdHandle = reinterpret_cast<HANDLE>(0x7C100);
const SC_HANDLE kManagerHandle = reinterpret_cast<SC_HANDLE>(0x7B000);

struct FakeDevice {
    const char* path;
    SimDevice device;
};

const FakeDevice kDevices[] = {
    {"\\\\.\\ADDMEM", SimDevice::Addmem},
    {"\\\\.\\VEXA\\VexaDrv.log", SimDevice::Vexa},
    {"\\\\.\\KMDFMEMIO\\kmdfmemiosamp.log", SimDevice::Kmdf},
    {"\\\\.\\MEMIO.VXD", SimDevice::Memio},
};

void Record(const std::string& call) {
    RecordCall(call);
    if (g_fakeOs.echo) {
        printf("%s\n", call.c_str());
        fflush(stdout);
    }
}

std::string Hex(uint32_t value) {
    char text[16];
    snprintf(text, sizeof text, "%X", value);
    return text;
}

bool DevicePresent(SimDevice device) {
    const DriverProfile& drivers = g_fakeOs.profile.drivers;
    switch (device) {
        case SimDevice::Addmem: {
            auto it = g_fakeOs.services.find("ADDMEM");
            return g_fakeOs.profile.windows.nt && it != g_fakeOs.services.end() && it->second.running;
        }
        case SimDevice::Vexa: return drivers.vexa;
        case SimDevice::Kmdf: return drivers.kmdf;
        case SimDevice::Memio: return drivers.memio && !g_fakeOs.profile.windows.nt;
    }
    return false;
}

// MEMIO shares our address space: its pointer is one of our own addresses.
bool ReadOwn(void*, uint32_t address, uint32_t* value) {
    memcpy(value, reinterpret_cast<const void*>(static_cast<uintptr_t>(address)), 4);
    return true;
}

bool WriteOwn(void*, uint32_t address, uint32_t value) {
    memcpy(reinterpret_cast<void*>(static_cast<uintptr_t>(address)), &value, 4);
    return true;
}

const CallerMemory kOwnMemory = {nullptr, ReadOwn, WriteOwn};

SC_HANDLE ServiceHandle(const std::string& name) {
    auto it = g_fakeOs.services.find(name);
    return it == g_fakeOs.services.end() ? nullptr : reinterpret_cast<SC_HANDLE>(&it->second);
}

FakeService* Service(SC_HANDLE handle) {
    for (auto& entry : g_fakeOs.services) {
        if (reinterpret_cast<SC_HANDLE>(&entry.second) == handle) return &entry.second;
    }
    return nullptr;
}

const DriveProfile* Drive(int index) {
    for (const DriveProfile& drive : g_fakeOs.profile.drives) {
        if (drive.index == index) return &drive;
    }
    return nullptr;
}

BOOL WINAPI FakeIsWow64Process(HANDLE, PBOOL wow64) {
    *wow64 = g_fakeOs.profile.windows.wow64 ? TRUE : FALSE;
    return TRUE;
}

}  // namespace

HANDLE OsCreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                     DWORD flags, HANDLE templateFile) {
    // Files and directories, as Windows opens them: 95, 98 and Me open no directory; a link is
    // followed unless it is asked for as itself.
    if (strncmp(name, "\\\\.\\", 4) != 0) {
        if (!g_fakeOs.profile.windows.nt && (flags & FILE_FLAG_BACKUP_SEMANTICS)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        auto link = g_fakeOs.links.find(name);
        bool follow = link != g_fakeOs.links.end() && (flags & FILE_FLAG_OPEN_REPARSE_POINT) == 0;
        return CreateFileA(follow ? link->second.c_str() : name, access, share, security, disposition, flags,
                           templateFile);
    }
    Record(std::string("CreateFile ") + name + " " + Hex(access) + " " + Hex(share) + " " +
           Hex(disposition) + " " + Hex(flags));
    HANDLE handle = INVALID_HANDLE_VALUE;
    for (size_t i = 0; i < sizeof kDevices / sizeof kDevices[0]; ++i) {
        if (strcmp(name, kDevices[i].path) == 0 && DevicePresent(kDevices[i].device)) {
            handle = reinterpret_cast<HANDLE>(kDeviceHandleBase + i);
        }
    }
    int index = -1;
    if (g_fakeOs.profile.windows.nt && sscanf(name, "\\\\.\\PhysicalDrive%d", &index) == 1 &&
        Drive(index) != nullptr) {
        handle = reinterpret_cast<HANDLE>(kDriveHandleBase + index);
    }
    // Windows 9x has no PhysicalDrive; SMARTVSD.VXD is there where it was placed in IOSUBSYS.
    if (!g_fakeOs.profile.windows.nt && g_fakeOs.profile.drivers.smartvsd &&
        strcmp(name, "\\\\.\\SMARTVSD") == 0) {
        handle = kSmartVsdHandle;
    }
    if (handle == INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return handle;
    }
    g_fakeOs.openDevices.push_back(handle);
    return handle;
}

BOOL OsDeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                       DWORD outSize, LPDWORD returned, LPOVERLAPPED) {
    uintptr_t drive = reinterpret_cast<uintptr_t>(device) - kDriveHandleBase;
    if (drive < 32 || device == kSmartVsdHandle) {
        std::string line;
        uint32_t got = 0;
        int target = device == kSmartVsdHandle ? kSmartVsdDrive : static_cast<int>(drive);
        bool served = ServeSmartRequest(g_fakeOs.profile.drives, target, code, static_cast<const uint8_t*>(in),
                                        inSize, static_cast<uint8_t*>(out), outSize, &got, &line);
        if (!line.empty()) Record(line);
        if (returned) *returned = got;
        if (!served) SetLastError(ERROR_INVALID_FUNCTION);
        return served ? TRUE : FALSE;
    }
    uintptr_t index = reinterpret_cast<uintptr_t>(device) - kDeviceHandleBase;
    if (index >= sizeof kDevices / sizeof kDevices[0]) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (g_fakeOs.requestsUntilRefusal == 0) {
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    if (g_fakeOs.requestsUntilRefusal > 0) --g_fakeOs.requestsUntilRefusal;
    SimDevice simDevice = kDevices[index].device;
    Machine* machine = &g_fakeOs.profile.machine;
    char line[96];
    snprintf(line, sizeof line, "ioctl %s %lX in=%lu out=%lu", SimDeviceName(simDevice), code,
             inSize, outSize);
    machine->trace.push_back(line);
    uint32_t got = 0;
    bool served = ServeRequest(machine, simDevice, g_fakeOs.profile.windows.wow64, code,
                               static_cast<const uint8_t*>(in), inSize,
                               static_cast<uint8_t*>(out), outSize, &got, &kOwnMemory);

    if (returned) *returned = got;
    if (!served) SetLastError(ERROR_INVALID_PARAMETER);
    return served ? TRUE : FALSE;
}

// Closing a device handle that is not open fails, as a second close does on Windows. A power
// request's handle is the address of the fake's count of open ones.
BOOL OsCloseHandle(HANDLE handle) {
    std::vector<HANDLE>& open = g_fakeOs.openDevices;
    auto it = std::find(open.begin(), open.end(), handle);
    if (it != open.end()) {
        open.erase(it);
        return TRUE;
    }
    if (handle == reinterpret_cast<HANDLE>(&g_fakeOs.power.requestsOpen)) {
        Record("CloseHandle power request");
        --g_fakeOs.power.requestsOpen;
        return TRUE;
    }
    uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    if (value - kDeviceHandleBase < sizeof kDevices / sizeof kDevices[0] ||
        value - kDriveHandleBase < 32 || handle == kSmartVsdHandle) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

SC_HANDLE OsOpenSCManagerA(LPCSTR, LPCSTR, DWORD access) {
    Record("OpenSCManager " + Hex(access));
    if (!g_fakeOs.serviceManagerOpens) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return kManagerHandle;
}

SC_HANDLE OsCreateServiceA(SC_HANDLE, LPCSTR name, LPCSTR displayName, DWORD access,
                           DWORD serviceType, DWORD startType, DWORD errorControl,
                           LPCSTR binaryPath, LPCSTR group, LPDWORD tag, LPCSTR dependencies,
                           LPCSTR account, LPCSTR password) {
    Record(std::string("CreateService ") + name + " " + displayName + " " + Hex(access) + " " +
           Hex(serviceType) + " " + Hex(startType) + " " + Hex(errorControl) + " " + binaryPath +
           ((group || tag || dependencies || account || password) ? " with extras" : ""));
    if (g_fakeOs.services.count(name)) {
        SetLastError(ERROR_SERVICE_EXISTS);
        return nullptr;
    }
    g_fakeOs.services[name] = FakeService{binaryPath, false};
    return ServiceHandle(name);
}

SC_HANDLE OsOpenServiceA(SC_HANDLE, LPCSTR name, DWORD access) {
    Record(std::string("OpenService ") + name + " " + Hex(access));
    SC_HANDLE handle = ServiceHandle(name);
    if (handle == nullptr) SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
    return handle;
}

// The service starts when the profile's machine can load the driver.
BOOL OsStartServiceA(SC_HANDLE handle, DWORD argc, LPCSTR*) {
    Record("StartService " + Hex(argc));
    FakeService* service = Service(handle);
    if (service == nullptr || !g_fakeOs.profile.drivers.addmem) return FALSE;
    service->running = true;
    service->image = CreateFileA(service->binaryPath.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return TRUE;
}

BOOL OsControlService(SC_HANDLE handle, DWORD control, LPSERVICE_STATUS) {
    Record("ControlService " + Hex(control));
    FakeService* service = Service(handle);
    if (service == nullptr || !service->running) return FALSE;
    service->running = false;
    // Unloaded, the driver lets go of its file. One deleted while running stays loaded.
    if (service->image != INVALID_HANDLE_VALUE) CloseHandle(service->image);
    service->image = INVALID_HANDLE_VALUE;
    return TRUE;
}

BOOL OsDeleteService(SC_HANDLE handle) {
    Record("DeleteService");
    for (auto it = g_fakeOs.services.begin(); it != g_fakeOs.services.end(); ++it) {
        if (reinterpret_cast<SC_HANDLE>(&it->second) == handle) {
            g_fakeOs.services.erase(it);
            return TRUE;
        }
    }
    return FALSE;
}

BOOL OsCloseServiceHandle(SC_HANDLE) { return TRUE; }

WindowsKind OsWindowsKind(void) {
    const WindowsProfile& windows = g_fakeOs.profile.windows;
    return {windows.nt, windows.major, windows.minor};
}

BOOL OsGetVolumeInformationA(LPCSTR root, LPSTR name, DWORD nameSize, LPDWORD serial, LPDWORD maxComponent,
                             LPDWORD flags, LPSTR fileSystem, DWORD fileSystemSize) {
    if (!GetVolumeInformationA(root, name, nameSize, serial, maxComponent, flags, fileSystem, fileSystemSize)) {
        return FALSE;
    }
    if (g_fakeOs.volumeWithoutAcls && flags != nullptr) *flags &= ~static_cast<DWORD>(FILE_PERSISTENT_ACLS);
    return TRUE;
}

namespace {

std::string FileKey(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info)) return "";
    return std::to_string(info.dwVolumeSerialNumber) + ":" + std::to_string(info.nFileIndexHigh) + ":" +
           std::to_string(info.nFileIndexLow);
}

BOOL WINAPI FakeSetKernelObjectSecurity(HANDLE object, SECURITY_INFORMATION what, PSECURITY_DESCRIPTOR security) {
    if (!SetKernelObjectSecurity(object, what, security)) return FALSE;
    std::string key = FileKey(object);
    const uint8_t* bytes = static_cast<const uint8_t*>(security);
    if (!key.empty()) g_fakeOs.keptSecurity[key].assign(bytes, bytes + GetSecurityDescriptorLength(security));
    return TRUE;
}

BOOL WINAPI FakeGetKernelObjectSecurity(HANDLE object, SECURITY_INFORMATION what, PSECURITY_DESCRIPTOR security,
                                        DWORD size, LPDWORD needed) {
    auto kept = g_fakeOs.keptSecurity.find(FileKey(object));
    if (kept == g_fakeOs.keptSecurity.end()) return GetKernelObjectSecurity(object, what, security, size, needed);
    *needed = static_cast<DWORD>(kept->second.size());
    if (size < kept->second.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    memcpy(security, kept->second.data(), kept->second.size());
    return TRUE;
}

// The test's bytes first, so that a name drawn from them can be made to stand already.
BOOL WINAPI FakeCryptGenRandom(HCRYPTPROV provider, DWORD n, BYTE* bytes) {
    std::deque<uint8_t>& next = g_fakeOs.randomBytes;
    if (next.empty()) return CryptGenRandom(provider, n, bytes);
    for (DWORD i = 0; i < n; ++i) {
        bytes[i] = next.empty() ? 0 : next.front();
        if (!next.empty()) next.pop_front();
    }
    return TRUE;
}

BOOL WINAPI FailingCreateEnvironmentBlock(LPVOID*, HANDLE, BOOL) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

}  // namespace

// What this Windows finds: a 9x profile gets 9x's failing stubs and gaps; otherwise Wine's own
// function, unless the test made it missing or failing; the security calls keep what is set, as
// Windows does.
FARPROC OsGetProcAddress(LPCSTR dll, LPCSTR name) {
    if (g_fakeOs.missingFunctions.count(name)) return nullptr;
    FARPROC nineX = nullptr;
    if (!g_fakeOs.profile.windows.nt && Win9xExport(name, &nineX)) return nineX;
    if (g_fakeOs.failingFunctions.count(name) && std::string(name) == "CreateEnvironmentBlock") {
        return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(FailingCreateEnvironmentBlock));
    }
    if (strcmp(name, "SetKernelObjectSecurity") == 0) return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(FakeSetKernelObjectSecurity));
    if (strcmp(name, "CryptGenRandom") == 0) return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(FakeCryptGenRandom));
    if (strcmp(name, "GetKernelObjectSecurity") == 0) return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(FakeGetKernelObjectSecurity));
    HMODULE module = LoadLibraryA(dll);
    return module ? GetProcAddress(module, name) : nullptr;
}

DWORD OsGetVersion(void) {
    if (g_fakeOs.layerSays98) return 0xC0000A04;  // 4.10, build 0x4000 with the 9x bit
    const WindowsProfile& windows = g_fakeOs.profile.windows;
    DWORD version = windows.major | windows.minor << 8;
    return windows.nt ? version | windows.build << 16 : version | 0x80000000u;
}

IsWow64ProcessFn OsLookupIsWow64Process(void) {
    return g_fakeOs.profile.windows.nt ? FakeIsWow64Process : nullptr;
}

LANGID OsGetSystemDefaultLangID(void) { return g_fakeOs.profile.windows.language; }

// A failing query still fills its outputs with the profile's figures: only the result says
// they are not to be trusted.
BOOL OsGetSystemPowerStatus(LPSYSTEM_POWER_STATUS status) {
    *status = SYSTEM_POWER_STATUS{};
    status->ACLineStatus = g_fakeOs.profile.power.acLine;
    status->BatteryLifePercent = g_fakeOs.profile.power.battery;
    if (!g_fakeOs.powerStatusReported) SetLastError(ERROR_NOT_SUPPORTED);
    return g_fakeOs.powerStatusReported ? TRUE : FALSE;
}

DWORD OsWaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    if (!g_fakeOs.waitFails) return WaitForSingleObject(handle, milliseconds);
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
}

BOOL OsGetExitCodeProcess(HANDLE process, LPDWORD exitCode) {
    if (!g_fakeOs.exitCodeLost) return GetExitCodeProcess(process, exitCode);
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

BOOL OsGetDiskFreeSpaceExA(LPCSTR, PULARGE_INTEGER freeToCaller, PULARGE_INTEGER total,
                           PULARGE_INTEGER totalFree) {
    const ULONGLONG space = g_fakeOs.profile.power.diskFree;
    if (freeToCaller) freeToCaller->QuadPart = space;
    if (total) total->QuadPart = 2 * space;
    if (totalFree) totalFree->QuadPart = space;
    if (!g_fakeOs.diskSpaceReadable) SetLastError(ERROR_NOT_READY);
    return g_fakeOs.diskSpaceReadable ? TRUE : FALSE;
}

// The setup API over the profile's devices: one set, member i is device i (DevInst 100 + i).
const HDEVINFO kDeviceSet = reinterpret_cast<HDEVINFO>(0x7D000);
constexpr DEVINST kDevInstBase = 100;
SP_PROPCHANGE_PARAMS g_pendingChange;

DeviceProfile* DeviceOf(DEVINST devInst) {
    std::vector<DeviceProfile>& devices = g_fakeOs.profile.devices;
    size_t index = devInst - kDevInstBase;
    return devInst >= kDevInstBase && index < devices.size() ? &devices[index] : nullptr;
}

HDEVINFO OsSetupDiGetClassDevsW(const GUID* classGuid, PCWSTR enumerator, HWND window, DWORD flags) {
    Record("SetupDiGetClassDevs " + Hex(flags) + (classGuid || enumerator || window ? " narrowed" : ""));
    if (!g_fakeOs.deviceListAvailable) {
        SetLastError(ERROR_INVALID_DATA);
        return INVALID_HANDLE_VALUE;
    }
    return kDeviceSet;
}

BOOL OsSetupDiEnumDeviceInfo(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA data) {
    if (set != kDeviceSet || data->cbSize != sizeof(SP_DEVINFO_DATA) ||
        index >= g_fakeOs.profile.devices.size()) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    data->DevInst = kDevInstBase + index;
    return TRUE;
}

BOOL OsSetupDiGetDeviceRegistryPropertyW(HDEVINFO, PSP_DEVINFO_DATA data, DWORD property, PDWORD type,
                                         PBYTE buffer, DWORD size, PDWORD required) {
    DeviceProfile* device = DeviceOf(data->DevInst);
    if (device == nullptr || property != SPDRP_CLASS || device->className.empty()) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    if (device->classUnreadable) {
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    std::wstring wide(device->className.begin(), device->className.end());
    DWORD need = static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t));
    if (required) *required = need;
    if (buffer == nullptr || size < need) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    memcpy(buffer, wide.c_str(), need);
    if (type) *type = REG_SZ;
    return TRUE;
}

BOOL OsSetupDiSetClassInstallParamsW(HDEVINFO, PSP_DEVINFO_DATA data, PSP_CLASSINSTALL_HEADER params,
                                     DWORD size) {
    const SP_PROPCHANGE_PARAMS* change = reinterpret_cast<const SP_PROPCHANGE_PARAMS*>(params);
    Record("SetClassInstallParams " + std::to_string(data->DevInst) + " size " + std::to_string(size) +
           " header " + std::to_string(params->cbSize) + " " + Hex(params->InstallFunction) + " state " +
           std::to_string(change->StateChange) + " scope " + std::to_string(change->Scope) + " profile " +
           std::to_string(change->HwProfile));
    g_pendingChange = *change;
    return TRUE;
}

BOOL OsSetupDiCallClassInstaller(DI_FUNCTION function, HDEVINFO, PSP_DEVINFO_DATA data) {
    DeviceProfile* device = DeviceOf(data->DevInst);
    if (function != DIF_PROPERTYCHANGE || device == nullptr) return FALSE;
    bool enable = g_pendingChange.StateChange == DICS_ENABLE;
    Record("ClassInstaller " + std::to_string(data->DevInst) + (enable ? " enable" : " disable"));
    if (enable && !device->enabled) std::swap(device->status, device->statusWhenDisabled);
    if (!enable && device->enabled) std::swap(device->status, device->statusWhenDisabled);
    device->enabled = enable;
    return TRUE;
}

BOOL OsSetupDiDestroyDeviceInfoList(HDEVINFO) {
    Record("SetupDiDestroyDeviceInfoList");
    return TRUE;
}

CONFIGRET OsCM_Get_DevNode_Status(PULONG status, PULONG problem, DEVINST devInst, ULONG) {
    DeviceProfile* device = DeviceOf(devInst);
    if (device == nullptr) return CR_NO_SUCH_DEVNODE;
    *status = device->status;
    *problem = device->problem;
    return CR_SUCCESS;
}

// Each call stands for a whole WMI conversation: no provider, a failing one, or the volume.
HRESULT FakeBitLockerCall(const std::string& call) {
    Record("BitLocker " + call);
    if (!g_fakeOs.bitLocker.provider) return static_cast<HRESULT>(WBEM_E_INVALID_NAMESPACE);
    return g_fakeOs.bitLocker.queryError;
}

HRESULT OsBitLockerQuery(LPCSTR drive, BitLockerVolume* volume) {
    *volume = BitLockerVolume{};
    HRESULT result = FakeBitLockerCall(std::string("query ") + drive);
    if (result != S_OK || g_fakeOs.bitLocker.drive != drive) return result;
    volume->listed = true;
    // WMI's answers, each on its own; which of them are asked is the program's.
    const BitLockerQuestions ask = {
        [](void*, uint32_t* status) -> uint32_t {
            const FakeBitLocker& b = g_fakeOs.bitLocker;
            *status = b.protectionOn && !(b.conversion >= 2 && b.conversion <= 5) ? 1 : 0;
            return 0;
        },
        [](void*, uint32_t* status) -> uint32_t {
            if (g_fakeOs.bitLocker.conversionError != S_OK) return static_cast<uint32_t>(g_fakeOs.bitLocker.conversionError);
            *status = g_fakeOs.bitLocker.conversion;
            return 0;
        },
        [](void*, bool* found) -> uint32_t {
            *found = g_fakeOs.bitLocker.tpm;
            return 0;
        },
        nullptr};
    return static_cast<HRESULT>(AskAboutBitLockerVolume(ask, volume));
}

HRESULT OsBitLockerSuspend(LPCSTR drive, UINT restarts) {
    HRESULT result = FakeBitLockerCall(std::string("suspend ") + drive + " " + std::to_string(restarts));
    FakeBitLocker& bitLocker = g_fakeOs.bitLocker;
    const WindowsProfile& windows = g_fakeOs.profile.windows;
    // Before Windows 8 DisableKeyProtectors takes no DisableCount.
    bool counts = windows.major > 6 || (windows.major == 6 && windows.minor >= 2);
    if (result == S_OK && (bitLocker.drive != drive || !counts)) result = static_cast<HRESULT>(WBEM_E_NOT_FOUND);
    if (result != S_OK) return result;
    bitLocker.protectionOn = false;
    bitLocker.restartsLeft = restarts;
    if (bitLocker.changed) bitLocker.changed();
    return S_OK;
}

HRESULT OsBitLockerResume(LPCSTR drive) {
    HRESULT result = FakeBitLockerCall(std::string("resume ") + drive);
    FakeBitLocker& bitLocker = g_fakeOs.bitLocker;
    if (result == S_OK && bitLocker.drive != drive) result = static_cast<HRESULT>(WBEM_E_NOT_FOUND);
    if (result != S_OK) return result;
    bitLocker.protectionOn = true;
    bitLocker.restartsLeft = 0;
    if (bitLocker.changed) bitLocker.changed();
    return S_OK;
}

BOOL OsOpenProcessToken(HANDLE, DWORD access, PHANDLE token) {
    Record("OpenProcessToken " + Hex(access));
    *token = reinterpret_cast<HANDLE>(0x1234);
    return TRUE;
}

BOOL OsLookupPrivilegeValueA(LPCSTR, LPCSTR name, PLUID luid) {
    Record(std::string("LookupPrivilegeValue ") + name);
    luid->LowPart = 19;
    luid->HighPart = 0;
    return TRUE;
}

BOOL OsAdjustTokenPrivileges(HANDLE, BOOL disableAll, PTOKEN_PRIVILEGES state, DWORD, PTOKEN_PRIVILEGES previous,
                             PDWORD) {
    Record("AdjustTokenPrivileges " + std::to_string(disableAll) + " " + std::to_string(state->PrivilegeCount) +
           " " + std::to_string(state->Privileges[0].Luid.LowPart) + " " +
           std::to_string(state->Privileges[0].Attributes) + (previous ? " previous" : ""));
    return TRUE;
}

// The machine goes off; whether it will come back depends on the EC at this moment.
BOOL OsExitWindowsEx(UINT flags, DWORD reason) {
    Record("ExitWindowsEx " + Hex(flags) + " " + Hex(reason) + " armed " +
           std::to_string(g_fakeOs.profile.machine.ecRam[0xE887] & 1));
    g_fakeOs.exitWindowsFlags.push_back(flags);
    return TRUE;
}

int OsMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    g_fakeOs.boxes.push_back({owner, caption ? caption : "", text ? text : "", type});
    Record(std::string("MessageBox ") + (caption ? caption : ""));
    if (g_fakeOs.echo) {
        printf("box owner=%p type=%X text=%s\n", static_cast<void*>(owner), type, text ? text : "");
        fflush(stdout);
    }
    if (g_fakeOs.answers.empty()) return IDOK;
    int answer = g_fakeOs.answers.front();
    g_fakeOs.answers.pop_front();
    return answer;
}

EXECUTION_STATE OsSetThreadExecutionState(EXECUTION_STATE flags) {
    Record("SetThreadExecutionState " + Hex(flags));
    if (g_fakeOs.failingFunctions.count("SetThreadExecutionState")) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    EXECUTION_STATE previous = g_fakeOs.power.executionState;
    if (flags & ES_CONTINUOUS) g_fakeOs.power.executionState = flags;
    return previous;
}

HANDLE OsPowerCreateRequest(PREASON_CONTEXT) {
    Record("PowerCreateRequest");
    // Windows 7 and later only.
    const WindowsProfile& windows = g_fakeOs.profile.windows;
    if (!windows.nt || windows.major < 6 || (windows.major == 6 && windows.minor < 1) ||
        g_fakeOs.missingFunctions.count("PowerCreateRequest")) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return INVALID_HANDLE_VALUE;
    }
    ++g_fakeOs.power.requestsOpen;
    return reinterpret_cast<HANDLE>(&g_fakeOs.power.requestsOpen);
}

BOOL OsPowerSetRequest(HANDLE, POWER_REQUEST_TYPE type) {
    Record("PowerSetRequest " + std::to_string(type));
    if (type == PowerRequestSystemRequired) ++g_fakeOs.power.requestsSet;
    return TRUE;
}

BOOL OsPowerClearRequest(HANDLE, POWER_REQUEST_TYPE type) {
    Record("PowerClearRequest " + std::to_string(type));
    if (type == PowerRequestSystemRequired) --g_fakeOs.power.requestsSet;
    return TRUE;
}

BOOL OsShutdownBlockReasonCreate(HWND, LPCWSTR reason) {
    char text[256] = "";
    WideCharToMultiByte(CP_ACP, 0, reason, -1, text, sizeof text, nullptr, nullptr);
    Record(std::string("ShutdownBlockReasonCreate ") + text);
    // Wine 8 fails it with ERROR_CALL_NOT_IMPLEMENTED.
    if (g_fakeOs.failingFunctions.count("ShutdownBlockReasonCreate")) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    g_fakeOs.power.blockReason = true;
    return TRUE;
}

BOOL OsShutdownBlockReasonDestroy(HWND) {
    Record("ShutdownBlockReasonDestroy");
    g_fakeOs.power.blockReason = false;
    return TRUE;
}

namespace {

// Vista and later only: what 2000 and XP lack is missing.
bool HasSchemes() { return g_fakeOs.profile.windows.nt && g_fakeOs.profile.windows.major >= 6; }

bool IsLidSetting(const GUID* scheme, const GUID* setting) {
    const GUID lid = {0x5ca83367, 0x6e45, 0x459f, {0xa2, 0x7b, 0x47, 0x6b, 0x1d, 0x01, 0xc9, 0x36}};
    return memcmp(scheme, &g_fakeOs.power.scheme, sizeof lid) == 0 && memcmp(setting, &lid, sizeof lid) == 0;
}

}  // namespace

DWORD OsPowerGetActiveScheme(HKEY, GUID** scheme) {
    Record("PowerGetActiveScheme");
    if (!HasSchemes() || g_fakeOs.missingFunctions.count("PowerGetActiveScheme")) return ERROR_CALL_NOT_IMPLEMENTED;
    *scheme = static_cast<GUID*>(LocalAlloc(LMEM_FIXED, sizeof(GUID)));
    **scheme = g_fakeOs.power.scheme;
    return ERROR_SUCCESS;
}

DWORD OsPowerReadACValueIndex(HKEY, const GUID* scheme, const GUID*, const GUID* setting, LPDWORD value) {
    if (!HasSchemes() || !IsLidSetting(scheme, setting)) return ERROR_FILE_NOT_FOUND;
    *value = g_fakeOs.power.lidAc;
    return ERROR_SUCCESS;
}

DWORD OsPowerReadDCValueIndex(HKEY, const GUID* scheme, const GUID*, const GUID* setting, LPDWORD value) {
    if (!HasSchemes() || !IsLidSetting(scheme, setting)) return ERROR_FILE_NOT_FOUND;
    *value = g_fakeOs.power.lidDc;
    return ERROR_SUCCESS;
}

DWORD OsPowerWriteACValueIndex(HKEY, const GUID* scheme, const GUID*, const GUID* setting, DWORD value) {
    Record("PowerWriteACValueIndex " + std::to_string(value));
    if (!HasSchemes() || !IsLidSetting(scheme, setting)) return ERROR_FILE_NOT_FOUND;
    g_fakeOs.power.lidAc = value;
    return ERROR_SUCCESS;
}

DWORD OsPowerWriteDCValueIndex(HKEY, const GUID* scheme, const GUID*, const GUID* setting, DWORD value) {
    Record("PowerWriteDCValueIndex " + std::to_string(value));
    if (!HasSchemes() || !IsLidSetting(scheme, setting)) return ERROR_FILE_NOT_FOUND;
    g_fakeOs.power.lidDc = value;
    return ERROR_SUCCESS;
}

// Written values act only once their scheme is made active again.
DWORD OsPowerSetActiveScheme(HKEY, const GUID* scheme) {
    Record("PowerSetActiveScheme");
    if (!HasSchemes() || memcmp(scheme, &g_fakeOs.power.scheme, sizeof *scheme) != 0) return ERROR_FILE_NOT_FOUND;
    g_fakeOs.power.activeLidAc = g_fakeOs.power.lidAc;
    g_fakeOs.power.activeLidDc = g_fakeOs.power.lidDc;
    return ERROR_SUCCESS;
}

BOOLEAN OsReadGlobalPwrPolicy(PGLOBAL_POWER_POLICY policy) {
    Record("ReadGlobalPwrPolicy");
    if (!g_fakeOs.profile.windows.nt) return FALSE;
    *policy = g_fakeOs.power.global;
    return TRUE;
}

BOOLEAN OsWriteGlobalPwrPolicy(PGLOBAL_POWER_POLICY policy) {
    Record("WriteGlobalPwrPolicy " + std::to_string(policy->user.LidCloseAc.Action) + " " +
           std::to_string(policy->user.LidCloseDc.Action));
    if (!g_fakeOs.profile.windows.nt) return FALSE;
    g_fakeOs.power.global = *policy;
    return TRUE;
}

BOOL OsProcessIdToSessionId(DWORD, DWORD* session) {
    *session = g_fakeOs.session;
    return g_fakeOs.profile.windows.nt;
}

HWINSTA OsGetProcessWindowStation(void) { return reinterpret_cast<HWINSTA>(0x7D000); }

BOOL OsGetUserObjectInformationA(HANDLE, int index, PVOID info, DWORD size, LPDWORD needed) {
    if (index != UOI_FLAGS || size < sizeof(USEROBJECTFLAGS)) return FALSE;
    USEROBJECTFLAGS flags = {FALSE, FALSE, g_fakeOs.stationVisible ? static_cast<DWORD>(WSF_VISIBLE) : 0};
    memcpy(info, &flags, sizeof flags);
    *needed = sizeof flags;
    return TRUE;
}

bool MakeAdministratorsOwn(const std::string& folder) {
    CreateDirectoryA(folder.c_str(), nullptr);
    HANDLE handle = CreateFileA(folder.c_str(), READ_CONTROL | WRITE_DAC | WRITE_OWNER, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    uint8_t protection[kAdministratorsOnlySize];
    EncodeAdministratorsOnly(protection);
    auto setSecurity = OsLookup<decltype(&SetKernelObjectSecurity)>("advapi32.dll", "SetKernelObjectSecurity");
    bool kept = setSecurity(handle, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, protection);
    CloseHandle(handle);
    return kept;
}
