#include <windows.h>

#include <cstdlib>

#include "app/command_line.h"
#include "app/update_sequence.h"
#include "core/run_context.h"
#include "core/run_end.h"
#include "hw/access_driver.h"
#include "platform/dll_search.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    RestrictDllSearch();
    // Every end of the run, an exit from deep inside it too, takes down the driver it installed,
    // unless the machine is powering off.
    atexit([] {
        if (!g_run.poweringOff) RemoveInstalledAddmemService();
    });
    uint32_t result = UpdateSequence(instance, SkipProgramName(GetCommandLineA()));
    // An end that returned without a box has its give-back here.
    EndRun();
    return static_cast<int>(result);
}
