#include "update/flasher_runs.h"

#include <windows.h>
#include <userenv.h>

#include <cstdio>
#include <cstring>

#include "core/debug_log.h"
#include "core/result_codes.h"
#include "core/run_context.h"
#include "core/run_flags.h"
#include "firmware/input_suppression.h"
#include "hw/access_driver.h"
#include "package/code_hold.h"
#include "package/housekeeping.h"
#include "platform/os.h"
#include "ui/progress_window.h"
#include "update/bitlocker.h"
#include "update/flasher_commands.h"
#include "update/new_image_identity.h"

namespace {

constexpr int kControlBiosMark = 1008;
constexpr int kControlMicomMark = 1009;
constexpr UINT kStrMicomStatus = 8;

constexpr size_t kEnvironmentSize = 32768;  // characters: the most a process environment holds
constexpr DWORD kStatusLost = 0xC0000001;    // STATUS_UNSUCCESSFUL

struct ChildCommand {
    char line[kChildCommandSize];
    char application[MAX_PATH];
};

// A flasher's environment: wide on NT, where it is the system's own; the program's own on
// Windows 9x, which has no user to keep out.
struct ChildEnvironment {
    wchar_t wide[kEnvironmentSize];
    char ansi[kEnvironmentSize];
    bool unicode;
};

// The system's own environment, as a service gets it (no variable of the user's, who can set
// TEMP, PATH or __COMPAT_LAYER for a flasher that runs with administrator rights), with PATH
// and, as TEMP and TMP, the working directory. False after a log line when it cannot be had:
// the user's environment is never the fallback.
bool SystemEnvironment(const char* path, wchar_t* block, size_t size) {
    auto create = OsLookup<decltype(&CreateEnvironmentBlock)>("userenv.dll", "CreateEnvironmentBlock");
    auto destroy = OsLookup<decltype(&DestroyEnvironmentBlock)>("userenv.dll", "DestroyEnvironmentBlock");
    if (create == nullptr || destroy == nullptr) {
        LogLine("Bios command refused : the system's environment cannot be had (no CreateEnvironmentBlock)");
        return false;
    }
    void* system = nullptr;
    if (!create(&system, nullptr, FALSE)) {
        LogLine("Bios command refused : the system's environment cannot be had (CreateEnvironmentBlock error %lu)",
                GetLastError());
        return false;
    }
    char temp[kPathSize];
    snprintf(temp, sizeof temp, "%s", g_run.workingDirectory);
    size_t length = strlen(temp);
    if (length > 3 && temp[length - 1] == '\\') temp[length - 1] = '\0';  // "C:\" keeps its backslash
    static wchar_t widePath[3 * MAX_PATH + 2];
    wchar_t wideTemp[kPathSize];
    bool built = MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, 3 * MAX_PATH + 2) > 0 &&
                 MultiByteToWideChar(CP_ACP, 0, temp, -1, wideTemp, kPathSize) > 0 &&
                 BuildChildEnvironment<wchar_t>(static_cast<const wchar_t*>(system), widePath, wideTemp, block, size);
    destroy(system);
    if (!built) LogLine("Bios command refused : its environment would pass %u characters", static_cast<unsigned>(size));
    return built;
}

// PATH made of the system directories and the working directory only; false, and the refusal
// logged, when the environment cannot be made.
bool PrepareChildEnvironment(ChildEnvironment* child) {
    char system[MAX_PATH];
    char windows[MAX_PATH];
    char path[3 * MAX_PATH + 2];
    UINT systemLength = GetSystemDirectoryA(system, sizeof system);
    UINT windowsLength = GetWindowsDirectoryA(windows, sizeof windows);
    if (systemLength == 0 || systemLength >= sizeof system || windowsLength == 0 || windowsLength >= sizeof windows ||
        snprintf(path, sizeof path, "%s;%s;%s", system, windows, g_run.workingDirectory) >= static_cast<int>(sizeof path)) {
        LogLine("Bios command refused : its PATH cannot be made");
        return false;
    }
    child->unicode = OsWindowsKind().nt;
    if (child->unicode) return SystemEnvironment(path, child->wide, kEnvironmentSize);
    char* own = GetEnvironmentStringsA();
    bool built = own != nullptr && BuildChildEnvironment<char>(own, path, nullptr, child->ansi, kEnvironmentSize);
    if (own != nullptr) FreeEnvironmentStringsA(own);
    if (!built) LogLine("Bios command refused : its environment cannot be made");
    return built;
}

// The command line and the executable it names, logged; false, and the refusal logged, when
// either would not fit.
bool PrepareChildCommand(const char* command, ChildCommand* child) {
    if (!BuildChildApplicationName(g_run.workingDirectory, command, child->application, sizeof child->application)) {
        LogLine("Bios command refused : its program path would pass %u characters", MAX_PATH - 1);
        return false;
    }
    if (!BuildChildCommandLine(g_run.workingDirectory, command, child->line, sizeof child->line)) {
        LogLine("Bios command refused : longer than %u characters", static_cast<unsigned>(sizeof child->line - 1));
        return false;
    }
    LogLine("Bios command : %s", child->line);
    return true;
}

// Why a flasher input could not be held, for the log: looked at again only to say it.
const char* WhyNotHeld(const char* name) {
    HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    DWORD error = GetLastError();
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    DWORD attributes = GetFileAttributesA(name);
    if (attributes == INVALID_FILE_ATTRIBUTES) return "is missing";
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return "is a link";
    if (file == INVALID_HANDLE_VALUE && error == ERROR_SHARING_VIOLATION) return "is open for writing by another program";
    if (file == INVALID_HANDLE_VALUE) return "cannot be opened";
    return "is not as packed";
}

// Waits for the flasher's end. A wait that failed or an exit status that cannot be read tells
// nothing of what the flasher did: either counts as a crash, never a success. False when the
// wait failed: the flasher may still be running.
bool WaitForChild(HANDLE process, DWORD* exitCode) {
    DWORD waited = OsWaitForSingleObject(process, INFINITE);
    if (waited != WAIT_OBJECT_0) {
        LogLine("Bios command ended : the wait for it failed (0x%08lX, error %lu)", waited, GetLastError());
        *exitCode = kStatusLost;
        return false;
    }
    if (!OsGetExitCodeProcess(process, exitCode)) {
        LogLine("Bios command ended : its exit status is lost (error %lu)", GetLastError());
        *exitCode = kStatusLost;
    }
    return true;
}

bool StartChildAndWait(ChildCommand* child, int markControl, BitLockerHold* bitLocker, DWORD* exitCode) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    SetStepMark(markControl, 0);
    if (markControl == kControlMicomMark) SetStatusText(kStrMicomStatus);

    static ChildEnvironment environment;
    if (!PrepareChildEnvironment(&environment)) return false;
    // Every file beside the flasher that it may load or read stays as the package has it, or as
    // this program placed it, until the flasher has ended.
    CodeHold hold = {};
    if (!HoldFlasherInputs(g_run.package, g_accessDriver.isWow64 != FALSE, &hold)) {
        LogLine("Bios command refused : %s %s", hold.refused, WhyNotHeld(hold.refused));
        return false;
    }
    // Every check has passed: only now may the first start on a new BIOS go unguarded.
    if (bitLocker) *bitLocker = SuspendBitLockerForFlash();
    PROCESS_INFORMATION process = {};
    DWORD flags = CREATE_DEFAULT_ERROR_MODE | (environment.unicode ? CREATE_UNICODE_ENVIRONMENT : 0);
    void* block = environment.unicode ? static_cast<void*>(environment.wide) : static_cast<void*>(environment.ansi);
    if (!CreateProcessA(child->application, child->line, nullptr, nullptr, FALSE, flags, block,
                        g_run.workingDirectory, &startup, &process)) {
        LogLine("Bios command not started : error %lu", GetLastError());
        ReleaseCodeHold(&hold);
        return false;
    }
    // A flasher that may still run keeps its inputs held until this program ends.
    if (WaitForChild(process.hProcess, exitCode)) ReleaseCodeHold(&hold);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
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
