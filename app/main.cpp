#include <windows.h>

#include <cstdlib>

#include "app/command_line.h"
#include "app/update_sequence.h"
#include "core/debug_log.h"
#include "core/run_context.h"
#include "hw/access_driver.h"
#include "platform/dll_search.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    RestrictDllSearch();
    // Every end of the run, an exit from deep inside it too, takes down the driver it installed,
    // unless the machine is powering off, and then writes the log's last line.
    atexit([] {
        if (!g_run.poweringOff) RemoveInstalledAddmemService();
        LogRunEnd(g_run.exitCode);
    });
    g_run.exitCode = UpdateSequence(instance, SkipProgramName(GetCommandLineA()));
    return static_cast<int>(g_run.exitCode);
}
