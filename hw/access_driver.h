// The kernel driver that reaches I/O ports and physical memory, chosen per Windows version and
// brought up for each hardware step.
#pragma once
#include <windows.h>

// The access driver's own process-wide state.
struct AccessDriverState {
    bool versionProbed;
    bool isWin61;   // VEXA
    bool isWin60;   // KMDFMEMIO
    BOOL isWow64;
    bool isNt;
    bool kmdfOpenFailed;  // the most recent open of the KMDFMEMIO device failed
    HANDLE device;
    bool serviceInstalled;  // this run created the ADDMEM service
    bool broughtUp;         // this run has had the driver's device open
};

extern AccessDriverState g_accessDriver;

// Sets versionProbed, isWin61, isWin60 and isWow64.
void ProbeWindowsVersion(void);

// Sets isNt and returns it.
bool IsWindowsNt(void);

// Brings the driver up for one hardware step (10 attempts). In VEXA and KMDFMEMIO modes a
// driver that never comes up ends the process with exit code -1 after its box.
bool AcquireAccessDriver(void);
void ReleaseAccessDriver(void);

// For the ends of a run: opens the device of the driver this run already brought up, as it
// stands. Never installs or starts a service, never shows a box; false when this run never had
// the driver.
bool ReacquireAccessDriver(void);

bool OpenAccessDriver(void);
bool OpenLegacyAccessDevice(void);
bool OpenKmdfAccessDevice(void);
// Creates and starts the ADDMEM service with the working place's "ADDMEM.SYS" as its image;
// false when the working place is not entered.
bool InstallAddmemService(void);

// Stops and deletes the ADDMEM service, whoever made it: true when it was found and stopped.
bool RemoveAddmemService(void);

// At an end of the run that does not power off: the service this run made is stopped and
// removed, so that its device gives nobody physical-memory access any more; the outcome is
// logged. A driver that cannot be stopped stays loaded until the next restart.
void RemoveInstalledAddmemService(void);
