#include "update/bitlocker.h"

#include <windows.h>

#include "core/debug_log.h"
#include "platform/os.h"
#include "update/bitlocker_decisions.h"

namespace {

constexpr UINT kSuspendedRestarts = 1;  // Windows resumes by itself after the start on the new BIOS

}  // namespace

BitLockerHold SuspendBitLockerForFlash(void) {
    BitLockerHold hold = {};
    char text[8] = {};
    DWORD length = GetEnvironmentVariableA("SystemDrive", text, sizeof text);
    if (length == 0 || length >= sizeof text || !SystemDriveFrom(text, hold.drive)) {
        LogLine("BitLocker : system drive unknown, left as it is");
        return hold;
    }
    WindowsKind kind = OsWindowsKind();
    // Before Windows 8 a suspension lasts until someone resumes it by hand: better the recovery
    // key once. Nothing is asked there, and no COM is loaded.
    if (!SuspendsForRestarts(kind.major, kind.minor)) {
        LogLine("BitLocker : %s not asked, left as it is on Windows %lu.%lu", hold.drive, kind.major, kind.minor);
        return hold;
    }
    BitLockerVolume volume = {};
    HRESULT queried = OsBitLockerQuery(hold.drive, &volume);
    char line[128];
    BitLockerStep step = DecideBitLocker(kind.major, kind.minor,
                                         static_cast<uint32_t>(queried), volume, hold.drive, line, sizeof line);
    LogLine("%s", line);
    if (step != BitLockerStep::Suspend) return hold;
    HRESULT suspended = OsBitLockerSuspend(hold.drive, kSuspendedRestarts);
    hold.suspended = suspended == S_OK;
    if (hold.suspended) {
        LogLine("BitLocker : %s suspended for one restart", hold.drive);
    } else {
        LogLine("BitLocker : %s not suspended (0x%08lX)", hold.drive, static_cast<unsigned long>(suspended));
    }
    return hold;
}

void ResumeBitLocker(const BitLockerHold& hold) {
    if (!hold.suspended) return;
    HRESULT resumed = OsBitLockerResume(hold.drive);
    // Not resumed, the protection still comes back by itself after the next start.
    if (resumed == S_OK) {
        LogLine("BitLocker : %s resumed", hold.drive);
    } else {
        LogLine("BitLocker : %s not resumed (0x%08lX)", hold.drive, static_cast<unsigned long>(resumed));
    }
}
