#include "update/dmi_mode.h"

#include "core/debug_log.h"
#include "core/result_codes.h"
#include "core/run_context.h"
#include "core/run_flags.h"
#include "update/dmi_options.h"

uint32_t RunDmiUpdateMode(char* biosCommand) {
    const DmiValues current = {g_run.biosFlag, g_run.purchaseDate, g_run.systemSerial};
    if (!AppendCurrentDmiOptions(biosCommand, g_run.runFlags, current, g_run.biosVersion)) {
        LogLine("DMI options refused : the BIOS command line would pass 255 characters");
        return kResultInvalidOption;
    }
    if ((g_run.runFlags & kFlagDmiMode3) || !(g_run.runFlags & kFlagDmiOnly)) return kResultOk;
    return LogLine("not built: %s", "DmiSettingDialogProc"), kResultBiosFile;
}
