#include "update/flasher_runs.h"

#include <windows.h>

#include <cstdio>

#include "core/debug_log.h"
#include "core/result_codes.h"
#include "core/run_context.h"
#include "core/run_flags.h"
#include "firmware/input_suppression.h"
#include "hw/access_driver.h"
#include "package/code_hold.h"
#include "package/housekeeping.h"
#include "ui/progress_window.h"
#include "update/bitlocker.h"
#include "update/flasher_commands.h"
#include "update/new_image_identity.h"

namespace {

constexpr int kControlBiosMark = 1008;
constexpr int kControlMicomMark = 1009;
constexpr UINT kStrMicomStatus = 8;

constexpr size_t kEnvironmentSize = 65536;
constexpr DWORD kStatusLost = 0xC0000001;  // STATUS_UNSUCCESSFUL

struct ChildCommand {
    char line[kChildCommandSize];
    char application[MAX_PATH];
};

// The program's environment with PATH made of the system directories and the working directory
// only; false, and the refusal logged, when it cannot be made.
bool PrepareChildEnvironment(char* block, size_t size) {
    char system[MAX_PATH];
    char windows[MAX_PATH];
    char path[3 * MAX_PATH + 2];
    UINT systemLength = GetSystemDirectoryA(system, sizeof system);
    UINT windowsLength = GetWindowsDirectoryA(windows, sizeof windows);
    char* environment = GetEnvironmentStringsA();
    bool built = systemLength > 0 && systemLength < sizeof system && windowsLength > 0 &&
                 windowsLength < sizeof windows && environment != nullptr &&
                 snprintf(path, sizeof path, "%s;%s;%s", system, windows, g_run.workingDirectory) <
                     static_cast<int>(sizeof path) &&
                 BuildChildEnvironment(environment, path, block, size);
    if (environment != nullptr) FreeEnvironmentStringsA(environment);
    if (!built) LogLine("Bios command refused : its environment cannot be made");
    return built;
}

// The command line and the executable it names, logged; false, and the refusal logged, when
// either would not fit.
bool PrepareChildCommand(const char* command, ChildCommand* child) {
    if (!BuildChildCommandLine(g_run.workingDirectory, command, child->line, sizeof child->line) ||
        !BuildChildApplicationName(g_run.workingDirectory, command, child->application, sizeof child->application)) {
        LogLine("Bios command refused : longer than %u characters", static_cast<unsigned>(sizeof child->line - 1));
        return false;
    }
    LogLine("Bios command : %s", child->line);
    return true;
}

bool StartChildAndWait(ChildCommand* child, int markControl, BitLockerHold* bitLocker, DWORD* exitCode) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    SetStepMark(markControl, 0);
    if (markControl == kControlMicomMark) SetStatusText(kStrMicomStatus);

    static char environment[kEnvironmentSize];
    if (!PrepareChildEnvironment(environment, sizeof environment)) return false;
    // Every file beside the flasher that it may load or read stays as the package has it, or as
    // this program placed it, until the flasher has ended.
    CodeHold hold = {};
    if (!HoldFlasherInputs(g_run.package, g_accessDriver.isWow64 != FALSE, &hold)) {
        LogLine("Bios command refused : %s is not as packed", hold.refused);
        return false;
    }
    // Every check has passed: only now may the first start on a new BIOS go unguarded.
    if (bitLocker) *bitLocker = SuspendBitLockerForFlash();
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(child->application, child->line, nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE,
                        environment, g_run.workingDirectory, &startup, &process)) {
        LogLine("Bios command not started : error %lu", GetLastError());
        ReleaseCodeHold(&hold);
        return false;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    // An exit status that cannot be read tells nothing of what the flasher did: it counts as a
    // crash, never a success.
    if (!GetExitCodeProcess(process.hProcess, exitCode)) {
        LogLine("Bios command ended : its exit status is lost (error %lu)", GetLastError());
        *exitCode = kStatusLost;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    ReleaseCodeHold(&hold);
    return true;
}

}  // namespace

bool RunChildProcess(const char* command, int markControl, BitLockerHold* bitLocker, DWORD* exitCode) {
    ChildCommand child;
    return PrepareChildCommand(command, &child) && StartChildAndWait(&child, markControl, bitLocker, exitCode);
}

uint32_t RunBiosFlasher(const char* command) {
    BitLockerHold hold = {};
    DWORD exitCode = 0;
    // A flasher that never ran has written nothing: never a success.
    if (!RunChildProcess(command, kControlBiosMark, &hold, &exitCode)) {
        ResumeBitLocker(hold);
        return kResultBiosUpdate;
    }
    uint32_t result = BiosFlasherResult(static_cast<int32_t>(exitCode));
    if (result != kResultOk) {
        // Only a verdict says nothing was written; a crash may have written part of the flash,
        // and then protection stays suspended for the restart.
        if (result != kResultBiosUpdate) ResumeBitLocker(hold);
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
    bool ran = RunChildProcess(command, kControlMicomMark, nullptr, &exitCode);
    DeleteMicomFiles();
    if (!ran || exitCode != 0) return kResultMicomUpdate;
    SetStepMark(kControlMicomMark, 1);
    return kResultOk;
}
