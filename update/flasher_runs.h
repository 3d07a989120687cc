// The BIOS and MICOM flashers run as child processes in the working directory.
#pragma once
#include <windows.h>

#include <cstdint>

#include "update/bitlocker.h"

// Starts the flasher the command text names, with the row's step mark on the arrow, and waits
// for it. False when it could not be started (nothing was waited on); otherwise true with its
// exit code, or 0xC0000001 (a failure status, as a crash ends) when the wait failed or the code
// cannot be read. It runs by its full path, quoted on its command line, with the system's own
// environment on NT. With a BitLocker hold, BitLocker is suspended into it right before the
// start, once every check has passed.
bool RunChildProcess(const char* command, int markControl, BitLockerHold* bitLocker, DWORD* exitCode);

// 0, 0x80000008 or 0x80000013 by the flasher's verdict; 0x80000009 when it could not be started.
uint32_t RunBiosFlasher(const char* command);

// 0 or 0x8000000a (failed or not started); does nothing while RunFlags holds SKIP_UPDATE_MICOM.
uint32_t RunMicomFlasher(const char* command);
