#include "tests/win/step_doubles.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/report.h"
#include "core/run_context.h"
#include "core/run_end.h"
#include "firmware/ec.h"
#include "firmware/firmware_tables.h"
#include "firmware/input_suppression.h"
#include "hw/access_driver.h"
#include "hw/disk_identity.h"
#include "hw/shutdown.h"
#include "package/archive.h"
#include "package/code_hold.h"
#include "package/housekeeping.h"
#include "package/language.h"
#include "package/package_file.h"
#include "package/protected_directory.h"
#include "tests/win/call_log.h"
#include "tests/win/os_fake.h"
#include "ui/progress_window.h"
#include "update/ami_image.h"
#include "update/ami_path.h"
#include "update/dmi_mode.h"
#include "update/flash_guard.h"
#include "update/flasher_runs.h"
#include "update/image_selection.h"
#include "update/power_checks.h"
#include "update/rom_backup.h"
#include "update/rom_readout.h"

StepScript g_steps;
AccessDriverState g_accessDriver;

namespace {

int64_t Step(const char* name, int64_t success) {
    RecordCall(name);
    auto it = g_steps.results.find(name);
    return it == g_steps.results.end() ? success : it->second;
}

}  // namespace

void ResetRun() {
    g_steps = StepScript{};
    g_fakeOs = FakeOs{};
    ClearCalls();
    g_run = RunContext{};
    g_run.busy = 1;
    g_run.extractionOk = 1;
    g_run.biosFamily = 1;
    SetEndRoutine(GiveBackTheMachine);
    g_accessDriver = AccessDriverState{false, false, false, FALSE, true, false, INVALID_HANDLE_VALUE};
}

void ProbeWindowsVersion(void) {
    RecordCall("ProbeWindowsVersion");
    g_accessDriver.isWin60 = g_steps.windows60;
    g_accessDriver.isWin61 = g_steps.windows61;
    g_accessDriver.isWow64 = g_steps.wow64;
}

uint32_t OpenOwnPackage(bool) { return static_cast<uint32_t>(Step("OpenOwnPackage", 0)); }

int ExtractAccessDriverFile(void) { return static_cast<int>(Step("ExtractAccessDriverFile", 1)); }

bool HoldPackagedFile(HANDLE, const char* name, CodeHold*) {
    return Step((std::string("HoldPackagedFile ") + name).c_str(), 1) != 0;
}
void ReleaseCodeHold(CodeHold*) { RecordCall("ReleaseCodeHold"); }

int DetectAmiBios(void) {
    g_run.biosFamily = g_steps.biosFamily;
    return static_cast<int>(Step("DetectAmiBios", 1));
}

int SelectLanguageResources(void) { return static_cast<int>(Step("SelectLanguageResources", 0)); }

uint32_t ReadArchiveOffset(uint32_t* offset) {
    *offset = 0x4000;
    return static_cast<uint32_t>(Step("ReadArchiveOffset", 0));
}

uint32_t ReadPackageHeader(HANDLE, uint32_t) {
    g_run.runFlags = g_steps.packageFlags;
    return static_cast<uint32_t>(Step("ReadPackageHeader", 0));
}

void ListPackedNames(const char* ending, char* names, size_t size) {
    snprintf(names, size, "%s", strcmp(ending, ".wph") == 0 ? "QN14XB06.wph" : strcmp(ending, ".bin") == 0 ? "QNTX0106.bin" : "");
}

uint32_t CheckSystemPower(void) { return static_cast<uint32_t>(Step("CheckSystemPower", 0)); }
int CheckDiskSpace(void) { return static_cast<int>(Step("CheckDiskSpace", 1)); }
bool ClaimWorkingPlace(void) { return Step("ClaimWorkingPlace", 1) != 0; }

// The working place: TEMP's "__Quorvin_Update", made and entered, unless the script says no.
bool MakeOwnPlace(void) {
    if (Step("MakeOwnPlace", 1) == 0) return false;
    char temp[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("TEMP", temp, sizeof temp);
    if (length == 0 || length >= sizeof temp) return false;
    snprintf(g_run.workingDirectory, sizeof g_run.workingDirectory, "%s\\__Quorvin_Update\\", temp);
    CreateDirectoryA(g_run.workingDirectory, nullptr);
    g_run.inWorkingDirectory = SetCurrentDirectoryA(g_run.workingDirectory) != 0;
    return g_run.inWorkingDirectory;
}

DWORD WINAPI ProgressWindowThread(LPVOID) {
    RecordCall("ProgressWindowThread");
    if (g_steps.window == WindowScript::EndsWithoutSignal) return 0;
    g_run.runFlags = g_steps.packageFlags;
    if (g_steps.window == WindowScript::UnpackFails) g_run.extractionOk = 0;
    SetEvent(g_run.extractionEvent);
    return 0;
}

void SetStepMark(int controlId, int done) {
    RecordCall("SetStepMark " + std::to_string(controlId) + " " + std::to_string(done));
}

void SetStatusText(UINT stringId) { RecordCall("SetStatusText " + std::to_string(stringId)); }

void DeletePhoenix32Files(void) { RecordCall("DeletePhoenix32Files"); }
void DeletePhoenix64Files(void) { RecordCall("DeletePhoenix64Files"); }
void UsePhoenix32Files(void) { RecordCall("UsePhoenix32Files"); }
void UsePhoenix64Files(void) { RecordCall("UsePhoenix64Files"); }
void DeleteExtractedFiles(void) { RecordCall("DeleteExtractedFiles"); }
void DeleteListedAndRuntimeFiles(void) { RecordCall("DeleteListedAndRuntimeFiles"); }
int DeleteAccessDriverFile(void) { return static_cast<int>(Step("DeleteAccessDriverFile", 1)); }

void SuppressInput(void) { RecordCall("SuppressInput"); }
void RestoreInput(void) { RecordCall("RestoreInput"); }
void HoldFlashGuard(void) { RecordCall("HoldFlashGuard"); }
void ReleaseFlashGuard(void) { RecordCall("ReleaseFlashGuard"); }
void RestoreSavedLid(const char*) { RecordCall("RestoreSavedLid"); }
void SaveRomBackup(const char* readOut) { RecordCall(readOut ? std::string("SaveRomBackup ") + readOut : "SaveRomBackup"); }
uint32_t NameRomBackup(uint32_t result) { return result; }
void SetEarlierPlaceRoutine(EarlierPlaceRoutine) {}
uint32_t ReadBiosRom(const char* fileName) {
    return static_cast<uint32_t>(Step((std::string("ReadBiosRom ") + fileName).c_str(), 0));
}
uint32_t CheckHddPassword(void) { return static_cast<uint32_t>(Step("CheckHddPassword", 0)); }
uint32_t FindBiosImages(void) { return static_cast<uint32_t>(Step("FindBiosImages", 0)); }

int CheckChipVendor(void) {
    g_run.ecVendor = g_steps.ecVendor;
    return static_cast<int>(Step("CheckChipVendor", 0));
}

uint32_t FindMicomFiles(void) { return static_cast<uint32_t>(Step("FindMicomFiles", 0)); }
uint32_t ReadFirmwareIdentity(void) { return static_cast<uint32_t>(Step("ReadFirmwareIdentity", 0)); }
uint32_t SelectBiosImage(void) { return static_cast<uint32_t>(Step("SelectBiosImage", 0)); }
uint32_t RunDmiUpdateMode(char*, bool* cancelled) {
    *cancelled = g_steps.dmiCancelled;
    return static_cast<uint32_t>(Step("RunDmiUpdateMode", 0));
}
int PrepareFlashAreas(void) { return static_cast<int>(Step("PrepareFlashAreas", 0)); }

uint32_t RunBiosFlasher(const char* command) {
    g_steps.biosCommand = command;
    return static_cast<uint32_t>(Step("RunBiosFlasher", 0));
}

uint32_t RunMicomFlasher(const char* command) {
    g_steps.micomCommand = command;
    return static_cast<uint32_t>(Step("RunMicomFlasher", 0));
}

uint32_t ClearCmos(void) { return static_cast<uint32_t>(Step("ClearCmos", 0)); }
uint32_t EnableGlobalSmi(void) { return static_cast<uint32_t>(Step("EnableGlobalSmi", 0)); }
uint32_t ArmAutoPowerOn(void) { return static_cast<uint32_t>(Step("ArmAutoPowerOn", 0)); }
uint32_t ArmAutoPowerOnLegacy(void) { return static_cast<uint32_t>(Step("ArmAutoPowerOnLegacy", 0)); }
bool ShutdownSystem(UINT flags) {
    RecordCall("ShutdownSystem " + std::to_string(flags));
    return true;
}

uint32_t FindAmiImages(void) { return static_cast<uint32_t>(Step("FindAmiImages", 0)); }
uint32_t ReadAmiVersion(void) { return static_cast<uint32_t>(Step("ReadAmiVersion", 0)); }
uint32_t SelectAmiImage(void) { return static_cast<uint32_t>(Step("SelectAmiImage", 0)); }
uint32_t ReadAmiBuildNumber(void) { return static_cast<uint32_t>(Step("ReadAmiBuildNumber", 250)); }
uint32_t ReadFidBuildNumber(const char*) { return static_cast<uint32_t>(Step("ReadFidBuildNumber", 250)); }
uint32_t ComparePartNumbers(void) { return static_cast<uint32_t>(Step("ComparePartNumbers", 0)); }
