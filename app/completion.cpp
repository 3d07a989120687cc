#include "app/completion.h"

#include <windows.h>

#include "core/debug_log.h"
#include "core/message.h"
#include "core/result_codes.h"
#include "core/run_context.h"
#include "core/run_end.h"
#include "core/run_flags.h"
#include "firmware/ec.h"
#include "hw/shutdown.h"
#include "package/housekeeping.h"

namespace {

enum : UINT {
    kStrCompleteText = 20,
    kStrAutoOnFailedText = 26,
    kStrCompleteTitle = 39,
    kStrAutoOnFailedTitle = 40,
};

void ShowCompletionNotice() {
    SendMessageA(g_run.progressWindow, kMsgStopAnimation, 0, 0);
    ShowStringMessage(MB_ICONINFORMATION, kStrCompleteTitle, kStrCompleteText);
}

}  // namespace

uint32_t FinishUpdate(void) {
    // The last write has ended: the system may sleep and shut down again, ours first.
    EndRun();
    uint32_t armed;
    if (g_run.ecVendor == 1) {
        ShowCompletionNotice();
        armed = ArmAutoPowerOn();
    } else {
        if (g_run.runFlags & (kFlagNoPowerOff | kFlagBlockPowerOff | kFlagSkipUpdateMicom)) {
            g_run.ending = "update complete, power-off blocked";
            return kResultOk;
        }
        ShowCompletionNotice();
        armed = ArmAutoPowerOnLegacy();
    }
    if (armed != kResultOk) {
        DeleteAccessDriverFile();
        ShowStringMessage(MB_ICONERROR, kStrAutoOnFailedTitle, kStrAutoOnFailedText);
    }
    // Written before the power-off, which may not let the process return.
    g_run.ending = "update complete, powering off";
    LogRunEnd(kResultOk);
    g_run.poweringOff = ShutdownSystem(EWX_POWEROFF);
    return kResultOk;
}
