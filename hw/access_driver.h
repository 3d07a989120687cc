// The kernel driver that reaches I/O ports and physical memory, chosen per Windows version.
#pragma once
#include <windows.h>

// The access driver's own process-wide state.
struct AccessDriverState {
    int isWindows61;
    int isWindows60;
    int isWow64;
    int isNt;
    HANDLE device;
};

extern AccessDriverState g_accessDriver;

// Sets the Windows 6.1, Windows 6.0, WOW64 and NT flags.
void ProbeWindowsVersion(void);
