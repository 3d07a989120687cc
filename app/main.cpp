#include <windows.h>

#include <cstdlib>

#include "app/command_line.h"
#include "app/update_sequence.h"
#include "core/debug_log.h"
#include "core/run_context.h"
#include "core/run_end.h"
#include "hw/access_driver.h"
#include "platform/dll_search.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // The folder the package was started in keeps the log lines of before the working place,
    // whatever becomes current; nothing is loaded before the search is restricted.
    DWORD started = GetCurrentDirectoryA(sizeof g_run.startDirectory, g_run.startDirectory);
    if (started >= sizeof g_run.startDirectory) g_run.startDirectory[0] = '\0';
    RestrictDllSearch();
    // Every end of the run, an exit from deep inside it too, takes down the driver it installed,
    // unless the machine is powering off, and then writes the log's last line.
    atexit([] {
        if (!g_run.poweringOff) RemoveInstalledAddmemService();
        LogRunEnd(g_run.exitCode);
    });
    g_run.exitCode = UpdateSequence(instance, SkipProgramName(GetCommandLineA()));
    // An end that returned without a box has its give-back here.
    EndRun();
    return static_cast<int>(g_run.exitCode);
}
