#include "app/ami_sequence.h"

#include <cstring>

#include "app/ami_options.h"
#include "app/completion.h"
#include "app/report.h"
#include "core/debug_log.h"
#include "core/result_codes.h"
#include "core/run_context.h"
#include "core/run_flags.h"
#include "firmware/ec.h"
#include "firmware/input_suppression.h"
#include "hw/access_driver.h"
#include "hw/disk_identity.h"
#include "package/housekeeping.h"
#include "ui/progress_window.h"
#include "update/ami_image.h"
#include "update/ami_path.h"
#include "update/flash_guard.h"
#include "update/flasher_runs.h"
#include "update/image_selection.h"
#include "update/rom_backup.h"

namespace {

constexpr UINT kStrBiosStatus = 7;

// The installed build number against the image's: an equal one may be written again.
uint32_t CheckBuildNumbers() {
    uint32_t installed = ReadAmiBuildNumber();
    if (installed == 0 || installed == kNotFound || installed == kResultDriverLoad) return kResultDriverLoad;
    uint32_t image = ReadFidBuildNumber("bios.rom");
    if (image == 0 || image == kNotFound) return kResultBiosFile;
    return installed > image ? kResultBiosDate : kResultOk;
}

}  // namespace

uint32_t AmiUpdateSequence(const char* options) {
    ProbeWindowsVersion();
    memset(g_run.images.slots, 0, sizeof g_run.images.slots);
    g_run.biosCommand[0] = '\0';
    if (BuildAmiCommandLine(g_run.biosCommand, options, g_accessDriver.isWow64 != FALSE) != kResultOk) {
        return ReportResult(kResultInvalidOption);
    }
    SuppressInput();
    SetStepMark(kControlUnpackMark, 1);
    SetStatusText(kStrBiosStatus);

    if (CheckHddPassword() != 0) return ReportResult(kResultHddPassword);
    if (FindAmiImages() != kResultOk) return ReportResult(kResultBiosFile);
    if (CheckChipVendor() == -1) return ReportResult(kResultDriverLoad);
    if (g_run.ecVendor != 0) {
        g_run.runFlags |= kFlagSkipUpdateMicom;
    } else {
        FindMicomFiles();
    }

    uint32_t result;
    if ((result = ReadAmiVersion()) != kResultOk) return ReportResult(result);
    if ((result = SelectAmiImage()) != kResultOk) return ReportResult(result);
    if ((result = CheckBuildNumbers()) != kResultOk) return ReportResult(result);
    if ((result = ComparePartNumbers()) != kResultOk) return ReportResult(result);
    SaveRomBackup(nullptr);
    HoldFlashGuard();
    if ((result = NameRomBackup(RunBiosFlasher(g_run.biosCommand))) != kResultOk) return ReportResult(result);

    LogLine("Before Checking SMI Enable");
    if (EnableGlobalSmi() != kResultOk) return ReportResult(kResultSmi);
    LogLine("After Checking SMI Enable");
    g_run.busy = 0;
    DeleteExtractedFiles();
    LogLine("Before HID Enable");
    RestoreInput();
    LogLine("After HID Enable");
    return FinishUpdate();
}
