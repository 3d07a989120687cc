#include "update/flasher_runs.h"

#include <windows.h>

#include "core/debug_log.h"
#include "core/result_codes.h"
#include "core/run_context.h"
#include "core/run_flags.h"
#include "firmware/input_suppression.h"
#include "package/housekeeping.h"
#include "ui/progress_window.h"
#include "update/flasher_commands.h"
#include "update/new_image_identity.h"

namespace {

constexpr int kControlBiosMark = 1008;
constexpr int kControlMicomMark = 1009;
constexpr UINT kStrMicomStatus = 8;

}  // namespace

bool RunChildProcess(const char* command, int markControl, DWORD* exitCode) {
    char line[kChildCommandSize];
    char application[MAX_PATH];
    if (!BuildChildCommandLine(g_run.workingDirectory, command, line, sizeof line) ||
        !BuildChildApplicationName(g_run.workingDirectory, command, application, sizeof application)) {
        LogLine("Bios command refused : longer than %u characters", static_cast<unsigned>(sizeof line - 1));
        return false;
    }
    LogLine("Bios command : %s", line);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    SetStepMark(markControl, 0);
    if (markControl == kControlMicomMark) SetStatusText(kStrMicomStatus);

    PROCESS_INFORMATION child = {};
    if (!CreateProcessA(application, line, nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE, nullptr,
                        g_run.workingDirectory, &startup, &child)) {
        LogLine("Bios command not started : error %lu", GetLastError());
        return false;
    }
    WaitForSingleObject(child.hProcess, INFINITE);
    if (!GetExitCodeProcess(child.hProcess, exitCode)) *exitCode = GetLastError();
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    return true;
}

uint32_t RunBiosFlasher(const char* command) {
    DWORD exitCode = 0;
    // A flasher that never ran has written nothing: never a success.
    if (!RunChildProcess(command, kControlBiosMark, &exitCode)) return kResultBiosUpdate;
    uint32_t result = BiosFlasherResult(static_cast<int32_t>(exitCode));
    if (result != kResultOk) {
        ReadNewImageIdentity("newSys.bin");
        RestoreInput();
        return result;
    }
    DeletePhoenixFiles();
    DeleteAmiFiles();
    SetStepMark(kControlBiosMark, 1);
    return kResultOk;
}

uint32_t RunMicomFlasher(const char* command) {
    if (g_run.runFlags & kFlagSkipUpdateMicom) return kResultOk;
    DWORD exitCode = 0;
    bool ran = RunChildProcess(command, kControlMicomMark, &exitCode);
    DeleteMicomFiles();
    if (!ran || exitCode != 0) return kResultMicomUpdate;
    SetStepMark(kControlMicomMark, 1);
    return kResultOk;
}
