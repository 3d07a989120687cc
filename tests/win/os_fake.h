// The fake OS boundary of the Windows unit tests: the simulated notebook of a machine profile,
// in-process. Devices open as the profile says, requests reach its machine through the same
// decoders simhw.exe uses, the service control manager keeps its services in memory, and
// message boxes and power-off are recorded instead of shown or done.
#pragma once
#include <windows.h>

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
    DWORD session = 1;                       // the process's session
    bool stationVisible = true;              // its window station's WSF_VISIBLE
    bool echo = false;  // print every recorded call at once (for probes that may not return)
};

extern FakeOs g_fakeOs;
