#include "app/update_sequence.h"

#include <cstring>

#include "core/debug_log.h"
#include "platform/os.h"
#include "core/message.h"
#include "app/ami_sequence.h"
#include "app/completion.h"
#include "app/options.h"
#include "app/report.h"
#include "app/run_log.h"
#include "core/result_codes.h"
#include "core/run_context.h"
#include "core/run_end.h"
#include "core/run_flags.h"
#include "firmware/ec.h"
#include "firmware/firmware_tables.h"
#include "firmware/input_suppression.h"
#include "hw/access_driver.h"
#include "hw/disk_identity.h"
#include "package/archive.h"
#include "package/code_hold.h"
#include "package/housekeeping.h"
#include "package/language.h"
#include "package/package_file.h"
#include "package/protected_directory.h"
#include "ui/progress_window.h"
#include "update/ami_path.h"
#include "update/dmi_mode.h"
#include "update/flash_guard.h"
#include "update/flasher_runs.h"
#include "update/image_selection.h"
#include "update/power_checks.h"
#include "update/rom_backup.h"
#include "update/rom_readout.h"

namespace {

enum : UINT {
    kStrUnpackStatus = 5,
    kStrBiosStatus = 7,
    kStrConfirmText = 16,
    kStrConfirmTitle = 38,
};

constexpr size_t kConfirmTextSize = 512;

// Gates 1-7: the working place and the package's proof, driver, BIOS family, language, power.
// 0 or the result code.
uint32_t PassStartupGates(HINSTANCE instance) {
    // The run's own place comes first, so that the package is read once, into it, and everything
    // later comes from what was proven there: before anything is installed or extracted. The
    // package's flags then say how a refusal is shown, and only the lock's holder sweeps.
    if (!MakeOwnPlace()) return ReportResult(kResultDirectory);
    ProbeWindowsVersion();
    uint32_t proof = OpenOwnPackage(g_run.inWorkingDirectory);
    LogPackageFacts(proof == kResultOk);
    if (proof != kResultOk) return ReportResult(proof);
    uint32_t offset = 0;
    if (ReadArchiveOffset(&offset) != 0 || ReadPackageHeader(g_run.package, offset) != 0) {
        return ReportResult(kResultInvalidOption);
    }
    if (!ClaimWorkingPlace()) return ReportResult(kResultDirectory);
    LogLine("00. Success to Create Directory");
    // From its unpacking until the driver has been brought up from it, the driver file is held
    // as the package has it.
    CodeHold driver = {};
    if (!g_accessDriver.isWin61 && !g_accessDriver.isWin60) {
        if (!ExtractAccessDriverFile()) return ReportResult(kResultUnpack);
        if (!HoldPackagedFile(g_run.package, "AddMem.sys", &driver)) return ReportResult(kResultUnpack);
    }
    bool acquired = DetectAmiBios();
    ReleaseCodeHold(&driver);
    if (!acquired) return ReportResult(kResultDriverLoad);

    g_run.instance = instance;
    if (!SelectLanguageResources()) g_run.resources = instance;
    if (g_run.resources == nullptr) ShowMessage(MB_ICONERROR, "Fail : Dll", "Fail To Load Dll");

    uint32_t power = CheckSystemPower();
    return power != kResultOk ? ReportResult(power) : kResultOk;
}

// Steps 11-14: the progress window unpacks on its own thread while this one waits.
uint32_t UnpackWithProgressWindow() {
    LogLine("01. Start to Unpack");
    g_run.busy = 1;
    g_run.extractionOk = 1;
    g_run.extractionEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    DWORD threadId = 0;
    HANDLE thread = CreateThread(nullptr, 0, ProgressWindowThread, nullptr, 0, &threadId);
    Sleep(100);
    if (thread == nullptr) return ReportResult(kResultWindowThread);

    SetStepMark(kControlUnpackMark, 0);
    SetStatusText(kStrUnpackStatus);
    // A window thread that ends before it signals (its dialog never came up) is an unpacking
    // failure, not a reason to wait for ever.
    HANDLE waitFor[2] = {g_run.extractionEvent, thread};
    if (WaitForMultipleObjects(2, waitFor, FALSE, INFINITE) != WAIT_OBJECT_0) g_run.extractionOk = 0;
    CloseHandle(thread);

    if (!g_run.extractionOk) return ReportResult(kResultUnpack);
    LogLine("02. Success to Unpack");
    return kResultOk;
}

// Steps 16-30 of the Phoenix path. 0 when the firmware is written and power-off may follow;
// kResultOk with *finished set when the run ends here without power-off.
uint32_t RunPhoenixSteps(const char* commandText, bool* finished) {
    memset(g_run.images.slots, 0, sizeof g_run.images.slots);
    g_run.biosCommand[0] = '\0';
    g_run.micomCommand[0] = '\0';
    uint32_t flags = g_run.runFlags;
    uint32_t result = ParseOptions(g_run.micomCommand, g_run.biosCommand, commandText, &flags);
    g_run.runFlags = flags;
    if (result != kResultOk) return ReportResult(kResultInvalidOption);

    if (g_accessDriver.isWow64) {
        UsePhoenix64Files();
    } else {
        UsePhoenix32Files();
    }
    SuppressInput();

    if (g_run.runFlags & kFlagReadBios) {
        *finished = true;
        result = ReadBiosRom("ReadRomFile.bin");
        // The working place goes with the next run; the backup folder keeps it.
        if (result == kResultOk) SaveRomBackup("ReadRomFile.bin");
        g_run.ending = "ROM read out";
        // A code that cleans up in ReportResult gets its clean-up there, once.
        if (!ResultNeedsCleanUp(result)) DeleteExtractedFiles();
        return ReportResult(result);
    }

    LogLine("Step 00");
    SetStepMark(kControlUnpackMark, 1);
    SetStatusText(kStrBiosStatus);
    if (CheckHddPassword() != 0) return ReportResult(kResultHddPassword);

    LogLine("Step 01");
    FindBiosImages();

    LogLine("Step 02");
    if (CheckChipVendor() == -1) return ReportResult(kResultDriverLoad);
    if (g_run.ecVendor != 0) {
        g_run.runFlags |= kFlagSkipUpdateMicom;
    } else {
        FindMicomFiles();
    }

    LogLine("Step 03");
    if ((result = ReadFirmwareIdentity()) != kResultOk) return ReportResult(result);

    LogLine("Step 04");
    if ((result = SelectBiosImage()) != kResultOk) return ReportResult(result);

    LogLine("Step 05");
    bool cancelled = false;
    result = RunDmiUpdateMode(g_run.biosCommand, &cancelled);
    if (cancelled) {
        *finished = true;
        g_run.ending = "DMI dialog cancelled";
        return kResultOk;
    }
    if (result != kResultOk) return ReportResult(result);

    LogLine("Step 06");
    SaveRomBackup(nullptr);
    HoldFlashGuard();
    if (g_run.runFlags & (kFlagMarkLastArea | kFlagBreakEscd | kFlagDmiOnly)) PrepareFlashAreas();

    LogLine("Step 06-1");
    if ((result = NameRomBackup(RunBiosFlasher(g_run.biosCommand))) != kResultOk) return ReportResult(result);

    LogLine("Step 07");
    if (g_run.runFlags & kFlagDmiOnly) {
        EndRun();
        DeleteExtractedFiles();
        SendMessageA(g_run.progressWindow, kMsgStopAnimation, 0, 0);
        ShowMessage(MB_ICONINFORMATION, "Complete", "DMI Update is complete.\n\nRestart system.");
        *finished = true;
        g_run.ending = "DMI data written";
        return kResultOk;
    }
    if ((result = RunMicomFlasher(g_run.micomCommand)) != kResultOk) return ReportResult(result);

    if (g_run.runFlags & kFlagClearCmos) ClearCmos();

    LogLine("Step 08");
    if (EnableGlobalSmi() != kResultOk) return ReportResult(kResultSmi);
    return kResultOk;
}

// Steps 31-35: clean up, then tell the user, arm automatic power-on and power off.
uint32_t CompleteUpdate() {
    g_run.busy = 0;
    DeleteExtractedFiles();
    RestoreInput();
    return FinishUpdate();
}

}  // namespace

uint32_t UpdateSequence(HINSTANCE instance, const char* commandText) {
    SetEndRoutine(GiveBackTheMachine);
    SetEarlierPlaceRoutine(RestoreSavedLid);
    g_run.keepUntilPlace = true;
    // Before anything can show a box: whether the command line or the session forbids waiting.
    g_run.boxesSilenced = CommandLineSilencesBoxes(commandText);
    LogRunOpening(commandText);
    WindowsKind kind = OsWindowsKind();
    DetectNobodyToAnswer(kind.nt ? kind.major : 0);
    uint32_t result = PassStartupGates(instance);
    if (result != kResultOk) return result;
    if (!CheckDiskSpace()) return kResultDiskSpace;

    // Anything but OK (Cancel, or a box that could not be shown) leaves the machine untouched.
    if (ShowStringMessage(MB_OKCANCEL | MB_ICONINFORMATION, kStrConfirmTitle, kStrConfirmText,
                          kConfirmTextSize) != IDOK) {
        g_run.ending = "cancelled at the start confirmation";
        return kResultOk;
    }

    if ((result = UnpackWithProgressWindow()) != kResultOk) return result;

    if (g_run.biosFamily == 0) {
        LogLine("************* AMI Update *****************");
        DeletePhoenix64Files();
        DeletePhoenix32Files();
        return AmiUpdateSequence(commandText);
    }

    bool finished = false;
    if ((result = RunPhoenixSteps(commandText, &finished)) != kResultOk || finished) return result;
    return CompleteUpdate();
}
