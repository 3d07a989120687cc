#include "firmware/input_suppression.h"

#include <cfgmgr32.h>

#include <cstring>

#include "core/debug_log.h"
#include "firmware/ec.h"
#include "hw/access_driver.h"
#include "hw/requests.h"
#include "platform/os.h"

namespace {

constexpr int kClassNameSize = 1024;
constexpr int kClassNameAttempts = 4;
constexpr size_t kRememberedMice = 64;

// The mice the last disabling pass disabled: their state may no longer pass the status test
// afterwards, and they must come back all the same.
DEVINST g_disabledMice[kRememberedMice];
size_t g_disabledCount = 0;

// Mouse and keyboard are off: set by SuppressInput, cleared by RestoreInput.
bool g_inputSuppressed = false;

bool WasDisabledByUs(DEVINST device) {
    for (size_t i = 0; i < g_disabledCount; ++i) {
        if (g_disabledMice[i] == device) return true;
    }
    return false;
}

// The class name in the ANSI code page, cut to the 1,024-byte buffer.
bool IsMouseClass(const wchar_t* wide) {
    char name[kClassNameSize] = {};
    int length = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return false;
    if (length > kClassNameSize) length = kClassNameSize;
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, name, length, nullptr, nullptr);
    name[kClassNameSize - 1] = '\0';
    return strlen(name) >= 5 && _strnicmp(name, "mouse", 5) == 0;
}

}  // namespace

bool GetDeviceClassName(HDEVINFO set, SP_DEVINFO_DATA* device, wchar_t** buffer, DWORD* size) {
    for (int attempt = 0; attempt < kClassNameAttempts; ++attempt) {
        DWORD required = 0;
        if (OsSetupDiGetDeviceRegistryPropertyW(set, device, SPDRP_CLASS, nullptr,
                                                reinterpret_cast<PBYTE>(*buffer), *size, &required)) {
            return *buffer != nullptr;
        }
        DWORD error = GetLastError();
        if (error == ERROR_INVALID_DATA) return false;
        if (error == ERROR_INSUFFICIENT_BUFFER && required > 0) {
            if (*buffer) LocalFree(*buffer);
            // One wide character more than asked for, so that the name always ends.
            *size = required;
            *buffer = static_cast<wchar_t*>(LocalAlloc(LMEM_ZEROINIT, required + sizeof(wchar_t)));
            if (*buffer == nullptr) return false;
        }
    }
    return false;
}

bool IsDeviceDisableable(const SP_DEVINFO_DATA& device) {
    ULONG status = 0, problem = 0;
    return OsCM_Get_DevNode_Status(&status, &problem, device.DevInst, 0) == CR_SUCCESS &&
           (status & DN_DISABLEABLE) && problem != CM_PROB_HARDWARE_DISABLED;
}

bool ChangeDeviceState(DWORD state, SP_DEVINFO_DATA* device, HDEVINFO set) {
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    SP_PROPCHANGE_PARAMS change = {};
    change.ClassInstallHeader.cbSize = sizeof(SP_CLASSINSTALL_HEADER);
    change.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
    change.StateChange = state;
    change.Scope = DICS_FLAG_GLOBAL;
    change.HwProfile = 0;
    if (!OsSetupDiSetClassInstallParamsW(set, device, &change.ClassInstallHeader, sizeof change)) {
        SetCursor(previous);
        return false;
    }
    OsSetupDiCallClassInstaller(DIF_PROPERTYCHANGE, set, device);
    SetCursor(previous);
    return true;
}

void SetMouseDevicesEnabled(bool enable) {
    HDEVINFO set = OsSetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE) {
        if (enable) LogLine("Mice not given back : the device list cannot be had (error %lu)", GetLastError());
        return;
    }
    if (!enable) g_disabledCount = 0;
    for (DWORD index = 0;; ++index) {
        SP_DEVINFO_DATA device = {};
        device.cbSize = sizeof device;
        if (!OsSetupDiEnumDeviceInfo(set, index, &device)) break;
        wchar_t* name = nullptr;
        DWORD size = 0;
        if (GetDeviceClassName(set, &device, &name, &size) && IsMouseClass(name)) {
            bool remembered = enable && WasDisabledByUs(device.DevInst);
            if (IsDeviceDisableable(device) || remembered) {
                bool accepted = ChangeDeviceState(enable ? DICS_ENABLE : DICS_DISABLE, &device, set);
                if (enable && !accepted) LogLine("Mouse %lu not given back : its state cannot be changed", device.DevInst);
                if (!enable && accepted && g_disabledCount < kRememberedMice) {
                    g_disabledMice[g_disabledCount++] = device.DevInst;
                }
            }
        }
        if (name) LocalFree(name);
    }
    if (enable) g_disabledCount = 0;
    OsSetupDiDestroyDeviceInfoList(set);
}

void KeyboardOff(void) {
    LogLine("KEY OFF Start");
    if (!AcquireAccessDriver()) return;
    EcResetTimeout();
    // A controller that stops taking bytes gets nothing more: a byte written over one it has
    // not taken would be lost, and a lost 0x60 would make a later byte the command byte.
    KbcSendCommand(0xAD) && KbcSendCommand(0xA7) && KbcSendCommand(0x60) && KbcSendData(0x74);
    ReleaseAccessDriver();
    LogLine("Key OFF End");
}

void KeyboardOn(void) {
    // Only through the driver that turned the keyboard off: an end never brings one up.
    if (!ReacquireAccessDriver()) {
        LogLine("Keyboard not given back : the access driver cannot be opened");
        return;
    }
    EcResetTimeout();
    // A byte waiting in the output buffer is taken out without waiting for one.
    KbcReadStatus();
    IoPortRead8(0x60);
    KbcSendCommand(0x60) && KbcSendData(0x47) && KbcSendCommand(0xAE) && KbcSendCommand(0xA8);
    ReleaseAccessDriver();
}

void SuppressInput(void) {
    g_inputSuppressed = true;
    SetMouseDevicesEnabled(false);
    KeyboardOff();
}

void RestoreInput(void) {
    // Every end calls this: only what this run turned off is turned on again, once.
    if (!g_inputSuppressed) return;
    g_inputSuppressed = false;
    KeyboardOn();
    SetMouseDevicesEnabled(true);
}
