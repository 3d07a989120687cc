#include "update/power_checks.h"

#include <windows.h>

#include "core/debug_log.h"
#include "core/message.h"
#include "core/run_context.h"
#include "core/run_flags.h"
#include "platform/os.h"
#include "update/power_decisions.h"

namespace {

enum : UINT { kStrDiskSpaceText = 22, kStrDiskSpaceTitle = 41 };

}  // namespace

uint32_t CheckSystemPower(void) {
    LogLine("Check System Power");
    if (g_run.runFlags & kFlagSkipCheckPower) return 0;
    // A status the system cannot report counts as neither AC nor battery: refused.
    SYSTEM_POWER_STATUS status = {};
    if (!OsGetSystemPowerStatus(&status)) {
        status.ACLineStatus = 255;
        status.BatteryLifePercent = 255;
    }
    return PowerCheckResult(status.ACLineStatus, status.BatteryLifePercent);
}

int CheckDiskSpace(void) {
    // Free space that cannot be read counts as none.
    ULARGE_INTEGER available = {};
    if (!OsGetDiskFreeSpaceExA(nullptr, &available, nullptr, nullptr)) available.QuadPart = 0;
    uint32_t free = FreeMiB(available.QuadPart);
    if (free >= kMinimumFreeMiB) return 1;
    char text[kTextSize];
    LoadText(kStrDiskSpaceTitle, g_run.messageTitle, kTextSize);
    LoadText(kStrDiskSpaceText, text, sizeof text);
    ShowMessage(MB_ICONERROR, g_run.messageTitle, text, static_cast<long>(free),
                static_cast<int>(kMinimumFreeMiB));
    return 0;
}
