// The fake OS boundary of the Windows unit tests: the simulated notebook of a machine profile,
// in-process. Devices open as the profile says, requests reach its machine through the same
// decoders simhw.exe uses, the service control manager keeps its services in memory, and
// message boxes and power-off are recorded instead of shown or done.
#pragma once
#include <windows.h>

#include <deque>
#include <map>
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
    std::vector<HANDLE> openDevices;  // device and drive handles handed out and not closed yet
    bool echo = false;  // print every recorded call at once (for probes that may not return)
};

extern FakeOs g_fakeOs;
