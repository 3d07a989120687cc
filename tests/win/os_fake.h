// The fake OS boundary of the Windows unit tests: the simulated notebook of a machine profile,
// in-process. Devices open as the profile says, requests reach its machine through the same
// decoders simhw.exe uses, the service control manager keeps its services in memory, and
// message boxes and power-off are recorded instead of shown or done.
#pragma once
#include <windows.h>
#include "platform/os.h"

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "sim/profile.h"

struct FakeBox {
    HWND owner;
    std::string title;
    std::string text;
    UINT type;
};

struct FakeService {
    std::string binaryPath;
    bool running;
    // A loaded driver's file, held as Windows holds it: it cannot be written or replaced.
    HANDLE image = INVALID_HANDLE_VALUE;
};

// BitLocker on the system drive as WMI reports it. Without its provider (Windows XP, Wine) the
// namespace does not exist. Suspended, protection reads as off until the restarts pass or it is
// resumed; Windows before 8 has no count of restarts to suspend for. While the volume is being
// encrypted or decrypted (or paused at it), protection reads off whatever its protectors do.
struct FakeBitLocker {
    bool provider = false;
    std::string drive = "C:";       // the one encryptable volume
    bool protectionOn = false;
    bool tpm = false;               // a TPM key protector
    uint32_t conversion = 1;        // GetConversionStatus; while 2-5 protection reads off
    HRESULT queryError = S_OK;      // every call fails with this
    HRESULT conversionError = S_OK; // GetConversionStatus alone fails with this
    UINT restartsLeft = 0;          // of a suspension
    std::function<void()> changed;  // after each suspend or resume, for a test to look around
};

// What keeps the machine on and what its lid does, as Windows keeps them: the thread's execution
// state, power requests, the block reason, the active scheme's lid values (Vista and later) and
// the global policy's (2000, XP). A test asserts what was held and what was put back.
struct FakePower {
    FakePower() { global.user.LidCloseAc.Action = global.user.LidCloseDc.Action = PowerActionSleep; }
    EXECUTION_STATE executionState = ES_CONTINUOUS;
    int requestsSet = 0;       // system-required power requests set and not cleared
    int requestsOpen = 0;      // power-request handles not closed
    bool blockReason = false;
    GUID scheme = {0x381b4222, 0xf694, 0x41f0, {0x96, 0x85, 0xff, 0x5b, 0xb2, 0x60, 0xdf, 0x2e}};
    DWORD lidAc = 1;           // sleep
    DWORD lidDc = 1;
    DWORD activeLidAc = 1;     // what the system does now: the values the last PowerSetActiveScheme applied
    DWORD activeLidDc = 1;
    GLOBAL_POWER_POLICY global = {};
};

struct FakeOs {
    MachineProfile profile;
    std::vector<FakeBox> boxes;
    std::deque<int> answers;  // answers to the next boxes; IDOK once they run out
    std::vector<UINT> exitWindowsFlags;
    std::map<std::string, FakeService> services;
    bool serviceManagerOpens = true;
    bool deviceListAvailable = true;
    bool powerStatusReported = true;  // false: GetSystemPowerStatus fails
    bool diskSpaceReadable = true;    // false: GetDiskFreeSpaceEx fails
    int requestsUntilRefusal = -1;    // access-driver requests answered before it refuses all (-1: never)
    std::vector<HANDLE> openDevices;  // device and drive handles handed out and not closed yet
    FakeBitLocker bitLocker;
    // What this Windows lacks: looked up, nullptr. A 9x profile (windows.nt false) also gets
    // what 9x hands out, failing stubs included (tests/support/win9x_exports.h).
    std::set<std::string> missingFunctions;
    // The security descriptors set on files, by volume and file index, handed back as Windows
    // keeps them: Wine maps them onto mode bits and reads back its own.
    std::map<std::string, std::vector<uint8_t>> keptSecurity;
    std::set<std::string> failingFunctions;  // looked up, a stand-in that fails (CreateEnvironmentBlock)
    bool waitFails = false;                  // WaitForSingleObject: WAIT_FAILED
    bool exitCodeLost = false;               // GetExitCodeProcess: fails
    FakePower power;
    DWORD session = 1;                       // the process's session
    bool stationVisible = true;              // its window station's WSF_VISIBLE
    bool echo = false;  // print every recorded call at once (for probes that may not return)
    // What a compatibility layer tells: GetVersion says Windows 98, the kind stays the profile's.
    bool layerSays98 = false;
    bool volumeWithoutAcls = false;   // the system volume keeps no ACLs (FAT32)
    std::deque<uint8_t> randomBytes;  // CryptGenRandom's next bytes, before the system's own
    // Directories that are links: opened without FILE_FLAG_OPEN_REPARSE_POINT, the target opens.
    std::map<std::string, std::string> links;
};

extern FakeOs g_fakeOs;

// Makes the folder (when missing) and gives it Administrators' and SYSTEM's protection through
// the fake, which keeps it as Windows does (Wine keeps no DACLs): a folder an earlier run left.
bool MakeAdministratorsOwn(const std::string& folder);
