#include "app/update_sequence.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/debug_log.h"
#include "core/run_context.h"
#include "tests/win/call_log.h"
#include "tests/win/os_fake.h"
#include "tests/win/progress_stand_in.h"
#include "tests/win/scratch.h"
#include "tests/win/step_doubles.h"

namespace {

class UpdateSequence : public testing::Test {
protected:
    void SetUp() override {
        ResetRun();
        temp_ = MakeScratchDir(false);
        SetEnvironmentVariableA("TEMP", temp_.c_str());
        MakeScratchDir(true);
    }

    uint32_t Run(const char* options) {
        return ::UpdateSequence(GetModuleHandleA(nullptr), options);
    }

    std::string WorkingDirectory() const { return temp_ + "\\__Quorvin_Update\\"; }
    std::string Log() const { return ReadWholeFile(WorkingDirectory() + "DebugLog.txt"); }
    // The log past its opening lines (when, which Windows, the command line).
    std::string Steps() const {
        std::string log = Log();
        size_t at = log.find("Command line : ");
        return at == std::string::npos ? log : log.substr(log.find("\r\n", at) + 2);
    }

    static bool Called(const std::string& name) { return CallIndex(name) != -1; }
    static bool CalledBefore(const std::string& first, const std::string& second) {
        int a = CallIndex(first);
        int b = CallIndex(second);
        return a != -1 && b != -1 && a < b;
    }

    std::string temp_;
};

TEST_F(UpdateSequence, CompletedRunLogsEveryStepAndPowersOff) {
    EXPECT_EQ(Run("/bbl /mauto"), 0u);
    EXPECT_EQ(Log().rfind("Run : ", 0), 0u) << Log();
    EXPECT_NE(Log().find(" UTC, QuorvinUpdate 1.0.0.0, process "), std::string::npos);
    EXPECT_NE(Log().find("\r\nCommand line : /bbl /mauto\r\n"), std::string::npos);
    EXPECT_EQ(Steps(),
              "00. Success to Create Directory\r\n01. Start to Unpack\r\n02. Success to Unpack\r\n"
              "Step 00\r\nStep 01\r\nStep 02\r\nStep 03\r\nStep 04\r\nStep 05\r\nStep 06\r\n"
              "Step 06-1\r\nStep 07\r\nStep 08\r\n"
              "End : exit 0x00000000 OK (update complete, powering off) : nothing to do\r\n");
    EXPECT_EQ(g_steps.biosCommand, "SWinFlash bios.wph /P /BBL");
    EXPECT_EQ(g_steps.micomCommand, "TarpexV01_10 kbc.bin /FORCE /A");

    const std::vector<std::string> order = {
        "MakeOwnPlace", "ProbeWindowsVersion", "OpenOwnPackage", "ReadArchiveOffset", "ReadPackageHeader",
        "ClaimWorkingPlace", "ExtractAccessDriverFile", "DetectAmiBios", "SelectLanguageResources", "CheckSystemPower", "CheckDiskSpace", "MessageBox Warning", "ProgressWindowThread", "SetStepMark 1011 0",
        "SetStatusText 5", "UsePhoenix32Files", "SuppressInput", "SetStepMark 1011 1",
        "SetStatusText 7", "CheckHddPassword", "FindBiosImages", "CheckChipVendor",
        "FindMicomFiles", "ReadFirmwareIdentity", "SelectBiosImage", "RunDmiUpdateMode",
        "PrepareFlashAreas", "RunBiosFlasher", "RunMicomFlasher", "EnableGlobalSmi",
        "DeleteExtractedFiles", "RestoreInput", "MessageBox Update Complete",
        "ArmAutoPowerOnLegacy", "ShutdownSystem 8"};
    for (size_t i = 1; i < order.size(); ++i) {
        EXPECT_TRUE(CalledBefore(order[i - 1], order[i])) << order[i - 1] << " before " << order[i];
    }
    EXPECT_FALSE(Called("ClearCmos"));

    ASSERT_GE(g_fakeOs.boxes.size(), 2u);
    EXPECT_EQ(g_fakeOs.boxes[0].type, static_cast<UINT>(MB_OKCANCEL | MB_ICONINFORMATION));
    EXPECT_EQ(g_fakeOs.boxes[0].title, "Warning");
    EXPECT_EQ(g_fakeOs.boxes[0].text.rfind(" - This program updates the Flash ROM", 0), 0u);
    EXPECT_EQ(g_fakeOs.boxes[0].text.size(), 270u) << "the whole confirmation, past 255 characters";
    EXPECT_EQ(g_fakeOs.boxes[1].text,
              "The program will turn the system off, and then turn it on again in a few "
              "seconds.");
    EXPECT_EQ(g_fakeOs.boxes[1].type, static_cast<UINT>(MB_ICONINFORMATION));
}

TEST_F(UpdateSequence, CancelAtTheConfirmationUnpacksNothing) {
    g_fakeOs.answers = {IDCANCEL};
    EXPECT_EQ(Run(""), 0u);
    EXPECT_FALSE(Called("ProgressWindowThread"));
    EXPECT_EQ(g_fakeOs.boxes.size(), 1u);
    EXPECT_EQ(Steps(), "00. Success to Create Directory\r\n");
}

// Each run adds its opening and last line, behind its process id, to the one fleet log in a
// folder under the Windows directory made for administrators only and taken again while its
// security says so (the fake OS keeps security descriptors as Windows does; Wine does not).
TEST_F(UpdateSequence, EveryRunReachesTheFleetLog) {
    char windows[MAX_PATH];
    ASSERT_NE(GetWindowsDirectoryA(windows, sizeof windows), 0u);
    std::string folder = std::string(windows) + "\\QuorvinLogs";
    std::string fleet = folder + "\\QuorvinUpdate.log";
    DeleteFileA(fleet.c_str());
    ASSERT_TRUE(MakeAdministratorsOwn(folder));
    for (int run = 0; run < 2; ++run) {
        auto kept = g_fakeOs.keptSecurity;
        ResetRun();
        g_fakeOs.keptSecurity = kept;
        g_fakeOs.answers = {IDCANCEL};
        EXPECT_EQ(Run(run ? "/MAUTO" : ""), 0u);
        LogRunEnd(0);
    }
    std::string log = ReadWholeFile(fleet);
    std::string pid = "[" + std::to_string(GetCurrentProcessId()) + "] ";
    size_t runs = 0, ends = 0;
    for (size_t at = log.find(pid + "Run : "); at != std::string::npos; at = log.find(pid + "Run : ", at + 1)) ++runs;
    std::string end = pid + "End : exit 0x00000000 OK (cancelled at the start confirmation) : nothing to do\r\n";
    for (size_t at = log.find(end); at != std::string::npos; at = log.find(end, at + 1)) ++ends;
    EXPECT_EQ(runs, 2u) << log;
    EXPECT_EQ(ends, 2u) << log;
    EXPECT_NE(log.find(pid + "Command line : /MAUTO\r\n"), std::string::npos) << log;
}

// No box waits where the command line asked for none (looked at before the package is even
// proven) or where nobody can answer; each such box is logged instead.
TEST_F(UpdateSequence, BoxesAnsweredUnseenFromTheStart) {
    const struct {
        const char* options;
        uint32_t major;
        DWORD session;
        bool visible;
        bool shown;
    } rows[] = {
        {"/NO_MESSAGEBOX", 5, 1, true, false},
        {"/vista_upgrade", 5, 1, true, false},
        {"/XYZ /NO_MESSAGEBOX", 5, 1, true, true},  // the parse stops before it, and so does the look
        {"", 10, 0, true, false},                   // a service's session
        {"", 5, 0, true, true},                     // XP's console
        {"", 5, 1, false, false},                   // a window station nobody sees
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.options) + " on " + std::to_string(row.major));
        ResetRun();
        g_fakeOs.profile.windows.major = row.major;
        g_fakeOs.session = row.session;
        g_fakeOs.stationVisible = row.visible;
        g_steps.results["OpenOwnPackage"] = 0x8000000e;
        EXPECT_EQ(Run(row.options), 0x8000000eu);
        EXPECT_EQ(g_fakeOs.boxes.size(), row.shown ? 1u : 0u);
        EXPECT_EQ(g_run.nobodyToAnswer, row.options[0] == '\0' && !row.shown);
    }
}

TEST_F(UpdateSequence, PackageFlag20SkipsTheConfirmation) {
    g_steps.packageFlags = 0x28;
    EXPECT_EQ(Run(""), 0u);
    EXPECT_TRUE(g_fakeOs.boxes.empty());
    EXPECT_TRUE(Called("ProgressWindowThread"));
    EXPECT_TRUE(Called("ShutdownSystem 8"));
}

// The driver file stays held from its unpacking until the driver is up, and no longer: a held
// file could not be cleaned up.
TEST_F(UpdateSequence, TheDriverFileIsHeldWhileTheDriverComesUp) {
    g_steps.results["DetectAmiBios"] = 0;
    EXPECT_EQ(Run(""), 0x80000005u);
    const std::vector<std::string> order = {"ExtractAccessDriverFile", "HoldPackagedFile AddMem.sys", "DetectAmiBios",
                                            "ReleaseCodeHold", "DeleteExtractedFiles"};
    for (size_t i = 1; i < order.size(); ++i) {
        EXPECT_TRUE(CalledBefore(order[i - 1], order[i])) << order[i - 1] << " before " << order[i];
    }
}

TEST_F(UpdateSequence, FirstFailingStepEndsTheRunWithItsCode) {
    struct Case {
        const char* step;
        int64_t value;
        uint32_t exitCode;
        const char* box;       // title of the one box shown, nullptr for none
        const char* notCalled; // the operation that would have come next
    };
    const Case cases[] = {
        {"MakeOwnPlace", 0, 0x8000000f, "Fail : Directory", "OpenOwnPackage"},
        {"OpenOwnPackage", 0x8000000e, 0x8000000e, "Fail : Invalid Option", "ReadArchiveOffset"},
        {"ReadArchiveOffset", 6, 0x8000000e, "Fail : Invalid Option", "ReadPackageHeader"},
        {"ReadPackageHeader", 4, 0x8000000e, "Fail : Invalid Option", "ClaimWorkingPlace"},
        {"ClaimWorkingPlace", 0, 0x8000000f, "Fail : Directory", "ExtractAccessDriverFile"},
        {"ExtractAccessDriverFile", 0, 0x80000003, "Fail : Unpack", "DetectAmiBios"},
        {"HoldPackagedFile AddMem.sys", 0, 0x80000003, "Fail : Unpack", "DetectAmiBios"},
        {"DetectAmiBios", 0, 0x80000005, "Fail : Driver Load", "SelectLanguageResources"},
        {"CheckSystemPower", 0x80000011, 0x80000011, "Fail : Power", "CheckDiskSpace"},
        {"CheckDiskSpace", 0, 0x80000001, nullptr, "ProgressWindowThread"},
        {"CheckHddPassword", 0x2, 0x80000004, "Fail : HDD Password", "FindBiosImages"},
        {"CheckChipVendor", -1, 0x80000005, "Fail : Driver Load", "FindMicomFiles"},
        {"ReadFirmwareIdentity", 0x80000005, 0x80000005, "Fail : Driver Load", "SelectBiosImage"},
        {"SelectBiosImage", 0x8000000c, 0x8000000c, "Fail : Micom File", "RunDmiUpdateMode"},
        {"RunDmiUpdateMode", 0x8000000b, 0x8000000b, "Fail : Bios File", "PrepareFlashAreas"},
        {"RunBiosFlasher", 0x80000008, 0x80000008, "Fail : Model(Bios Part Number)",
         "RunMicomFlasher"},
        {"RunBiosFlasher", 0x80000013, 0x80000013, "Fail : Bios Date", "RunMicomFlasher"},
        {"RunMicomFlasher", 0x8000000a, 0x8000000a, "Fail : Micom", "EnableGlobalSmi"},
        {"EnableGlobalSmi", 0x80000005, 0x8000000d, "Fail : Enable SMI", "ShutdownSystem 8"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step);
        SetUp();
        g_steps.results[c.step] = c.value;
        EXPECT_EQ(Run(""), c.exitCode);
        EXPECT_TRUE(Called(c.step));
        EXPECT_FALSE(Called(c.notCalled));
        if (c.box) {
            ASSERT_FALSE(g_fakeOs.boxes.empty());
            EXPECT_EQ(g_fakeOs.boxes.back().title, c.box);
        } else {
            EXPECT_TRUE(g_fakeOs.boxes.empty());
        }
    }
}

TEST_F(UpdateSequence, FailingStepShowsItsBox) {
    g_steps.results["RunBiosFlasher"] = 0x80000009;
    EXPECT_EQ(Run(""), 0x80000009u);
    ASSERT_EQ(g_fakeOs.boxes.size(), 2u);
    EXPECT_EQ(g_fakeOs.boxes[1].title, "Fail : Update Bios");
    EXPECT_TRUE(CalledBefore("RestoreInput", "MessageBox Fail : Update Bios"));
    EXPECT_TRUE(CalledBefore("DeleteExtractedFiles", "MessageBox Fail : Update Bios"));
    EXPECT_EQ(Log().find("Step 07"), std::string::npos);
}

TEST_F(UpdateSequence, UnpackingFailuresEndAsUnpackFailure) {
    for (WindowScript window : {WindowScript::UnpackFails, WindowScript::EndsWithoutSignal}) {
        SetUp();
        g_steps.window = window;
        EXPECT_EQ(Run(""), 0x80000003u);
        ASSERT_EQ(g_fakeOs.boxes.size(), 2u);
        EXPECT_EQ(g_fakeOs.boxes[1].title, "Fail : Unpack");
        EXPECT_FALSE(Called("DeleteExtractedFiles")) << "no clean-up for an unpacking failure";
        EXPECT_EQ(Log().find("02. Success to Unpack"), std::string::npos);
    }
}

TEST_F(UpdateSequence, UnknownOptionEndsWithInvalidOption) {
    EXPECT_EQ(Run("/BBL /XYZ"), 0x8000000eu);
    EXPECT_FALSE(Called("SuppressInput"));
    ASSERT_EQ(g_fakeOs.boxes.size(), 2u);
    EXPECT_EQ(g_fakeOs.boxes[1].text, "Invalid Option.\nCheck the option.");
}

TEST_F(UpdateSequence, ReadBiosSavesTheRomAndEndsWithoutUpdating) {
    g_steps.packageFlags = 0x40028;
    EXPECT_EQ(Run("/read_bios /XYZ"), 0u);
    EXPECT_EQ(g_run.runFlags, 0x2020u) << "the package's NO_MESSAGEBOX kept, nothing else";
    EXPECT_TRUE(CalledBefore("SuppressInput", "ReadBiosRom ReadRomFile.bin"));
    EXPECT_TRUE(CalledBefore("ReadBiosRom ReadRomFile.bin", "DeleteExtractedFiles"));
    EXPECT_TRUE(CalledBefore("DeleteExtractedFiles", "RestoreInput"));
    EXPECT_FALSE(Called("CheckHddPassword"));
    EXPECT_EQ(Log().find("Step 00"), std::string::npos);
}

TEST_F(UpdateSequence, ReadOutThatSavedNothingIsAFailure) {
    struct Case {
        uint32_t result;
        const char* box;
    };
    for (const Case& c : {Case{0x80000005, "Fail : Driver Load"}, Case{0x8000000f, "Fail : Directory"}}) {
        SetUp();
        g_steps.results["ReadBiosRom ReadRomFile.bin"] = c.result;
        EXPECT_EQ(Run("/READ_BIOS"), c.result);
        ASSERT_EQ(g_fakeOs.boxes.size(), 2u);
        EXPECT_EQ(g_fakeOs.boxes[1].title, c.box);
        EXPECT_TRUE(CalledBefore("RestoreInput", "MessageBox " + std::string(c.box)));
        std::vector<std::string> calls = RecordedCalls();
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "DeleteExtractedFiles"), 1) << "cleaned up once";
        EXPECT_FALSE(Called("CheckHddPassword"));
    }
    SetUp();
    g_steps.packageFlags = 0x20;
    g_steps.results["ReadBiosRom ReadRomFile.bin"] = 0x80000005;
    EXPECT_EQ(Run("/READ_BIOS"), 0x80000005u);
    EXPECT_TRUE(g_fakeOs.boxes.empty()) << "an unattended read-out that fails waits at no box";
}

TEST_F(UpdateSequence, CancelledDmiDialogEndsWithZeroWithoutFlashing) {
    g_steps.packageFlags = 0x1000;
    g_steps.dmiCancelled = true;
    EXPECT_EQ(Run(""), 0u);
    EXPECT_TRUE(Called("RunDmiUpdateMode"));
    EXPECT_FALSE(Called("PrepareFlashAreas"));
    EXPECT_FALSE(Called("RunBiosFlasher"));
    EXPECT_EQ(Log().find("Step 06"), std::string::npos);
}

TEST_F(UpdateSequence, DmiOnlyPackageEndsAfterStep07) {
    g_steps.packageFlags = 0x1000;
    g_run.progressWindow = CreateProgressStandIn();
    EXPECT_EQ(Run(""), 0u);
    EXPECT_TRUE(Called("PrepareFlashAreas"));
    EXPECT_FALSE(Called("RunMicomFlasher"));
    EXPECT_FALSE(Called("ShutdownSystem 8"));
    EXPECT_TRUE(CalledBefore("RestoreInput", "DeleteExtractedFiles"));
    ASSERT_EQ(g_fakeOs.boxes.size(), 2u);
    EXPECT_EQ(g_fakeOs.boxes[1].title, "Complete");
    EXPECT_EQ(g_fakeOs.boxes[1].text, "DMI Update is complete.\n\nRestart system.");
    EXPECT_EQ(g_fakeOs.boxes[1].type, static_cast<UINT>(MB_ICONINFORMATION));
    EXPECT_TRUE(CalledBefore("StopAnimation", "MessageBox Complete"));
    std::string log = Log();
    EXPECT_NE(log.find("Step 07\r\n"), std::string::npos);
    EXPECT_EQ(log.find("Step 08"), std::string::npos);
    DestroyWindow(g_run.progressWindow);
}

TEST_F(UpdateSequence, FlashAreasArePreparedOnlyForTheirBits) {
    for (uint32_t flags : {0x0u, 0x8u, 0x100u}) {
        SetUp();
        g_steps.packageFlags = flags;
        Run("");
        EXPECT_EQ(Called("PrepareFlashAreas"), flags != 0) << flags;
    }
    SetUp();
    g_steps.packageFlags = 0;
    Run("/BREAK_ESCD");
    EXPECT_TRUE(Called("PrepareFlashAreas"));
}

TEST_F(UpdateSequence, CompletionRules) {
    struct Case {
        uint32_t packageFlags;
        const char* options;
        uint8_t ecVendor;
        const char* arm;  // nullptr: the run ends without notice, power-on or power-off
    };
    const Case cases[] = {
        {0x8, "", 0, "ArmAutoPowerOnLegacy"},
        {0x8, "/BLOCK_POWER_OFF", 0, nullptr},
        {0x8, "/SKIP_UPDATE_MICOM", 0, nullptr},
        {0x40008, "", 0, nullptr},
        {0x8, "/VISTA_UPGRADE", 0, nullptr},
        {0x8, "", 1, "ArmAutoPowerOn"},
        {0x8, "/BLOCK_POWER_OFF", 1, "ArmAutoPowerOn"},
        {0x40008, "/SKIP_UPDATE_MICOM", 1, "ArmAutoPowerOn"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.packageFlags << " " << c.options << " ec "
                                        << int(c.ecVendor));
        SetUp();
        g_steps.packageFlags = c.packageFlags;
        g_steps.ecVendor = c.ecVendor;
        g_run.progressWindow = CreateProgressStandIn();
        EXPECT_EQ(Run(c.options), 0u);
        EXPECT_EQ(g_run.busy, 0);
        EXPECT_TRUE(CalledBefore("EnableGlobalSmi", "DeleteExtractedFiles"));
        if (c.ecVendor == 1) {
            EXPECT_FALSE(Called("FindMicomFiles"));
            EXPECT_NE(g_run.runFlags & 0x10, 0u) << "an EC that arms itself skips the MICOM flasher";
        }
        if (c.arm == nullptr) {
            EXPECT_FALSE(Called("StopAnimation"));
            EXPECT_FALSE(Called("MessageBox Update Complete"));
            EXPECT_FALSE(Called("ArmAutoPowerOn"));
            EXPECT_FALSE(Called("ArmAutoPowerOnLegacy"));
            EXPECT_FALSE(Called("ShutdownSystem 8"));
        } else {
            EXPECT_TRUE(CalledBefore("RestoreInput", "StopAnimation"));
            EXPECT_TRUE(CalledBefore("StopAnimation", "MessageBox Update Complete"));
            EXPECT_TRUE(CalledBefore("MessageBox Update Complete", c.arm));
            EXPECT_TRUE(CalledBefore(c.arm, "ShutdownSystem 8"));
        }
        DestroyWindow(g_run.progressWindow);
    }
}

TEST_F(UpdateSequence, FailedAutoPowerOnStillPowersOff) {
    g_steps.results["ArmAutoPowerOnLegacy"] = 0x80000005;
    EXPECT_EQ(Run(""), 0u);
    EXPECT_TRUE(CalledBefore("ArmAutoPowerOnLegacy", "DeleteAccessDriverFile"));
    EXPECT_TRUE(CalledBefore("DeleteAccessDriverFile", "MessageBox Fail : Set Auto On"));
    EXPECT_TRUE(CalledBefore("MessageBox Fail : Set Auto On", "ShutdownSystem 8"));
    ASSERT_EQ(g_fakeOs.boxes.size(), 3u);
    EXPECT_EQ(g_fakeOs.boxes[2].text, "Auto On setting failed.");
    EXPECT_EQ(g_fakeOs.boxes[2].type, static_cast<UINT>(MB_ICONERROR));
}

TEST_F(UpdateSequence, ClearCmosRunsAfterTheMicomFlasherWhenThePackageAsks) {
    g_steps.packageFlags = 0x48;
    EXPECT_EQ(Run(""), 0u);
    EXPECT_TRUE(CalledBefore("RunMicomFlasher", "ClearCmos"));
    EXPECT_TRUE(CalledBefore("ClearCmos", "EnableGlobalSmi"));
}

TEST_F(UpdateSequence, AmiMachineGetsTheRawCommandLine) {
    g_steps.biosFamily = 0;
    EXPECT_EQ(Run("/MFORCE /BBL"), 0x8000000eu) << "a Phoenix option, refused on this path";
    EXPECT_TRUE(CalledBefore("DeletePhoenix64Files", "DeletePhoenix32Files"));
    EXPECT_TRUE(CalledBefore("DeletePhoenix32Files", "MessageBox Fail : Invalid Option"));
    EXPECT_FALSE(Called("UsePhoenix32Files"));
    EXPECT_FALSE(Called("SuppressInput"));
    EXPECT_NE(Log().find("02. Success to Unpack\r\n************* AMI Update *****************\r\n"),
              std::string::npos);
}

TEST_F(UpdateSequence, WindowsVersionChoosesDriverFileAndFlasherBitness) {
    struct Case {
        bool windows60, windows61, wow64;
        bool extractsDriver;
        const char* flasherFiles;
        const char* otherFlasherFiles;
    };
    const Case cases[] = {
        {false, false, false, true, "UsePhoenix32Files", "UsePhoenix64Files"},
        {true, false, false, false, "UsePhoenix32Files", "UsePhoenix64Files"},
        {false, true, true, false, "UsePhoenix64Files", "UsePhoenix32Files"},
        {false, false, true, true, "UsePhoenix64Files", "UsePhoenix32Files"},
    };
    for (const Case& c : cases) {
        SetUp();
        g_steps.windows60 = c.windows60;
        g_steps.windows61 = c.windows61;
        g_steps.wow64 = c.wow64;
        EXPECT_EQ(Run(""), 0u);
        EXPECT_EQ(Called("ExtractAccessDriverFile"), c.extractsDriver);
        EXPECT_EQ(Called("HoldPackagedFile AddMem.sys"), c.extractsDriver);
        EXPECT_TRUE(Called(c.flasherFiles));
        EXPECT_FALSE(Called(c.otherFlasherFiles));
    }
}

TEST_F(UpdateSequence, UnloadableLanguageDllIsReportedAndTheRunGoesOn) {
    g_steps.results["SelectLanguageResources"] = 1;  // chose a DLL, which did not load
    g_steps.packageFlags = 0x8;
    g_fakeOs.answers = {IDOK, IDCANCEL};
    EXPECT_EQ(Run(""), 0u);
    ASSERT_EQ(g_fakeOs.boxes.size(), 2u);
    EXPECT_EQ(g_fakeOs.boxes[0].title, "Fail : Dll");
    EXPECT_EQ(g_fakeOs.boxes[0].text, "Fail To Load Dll");
    EXPECT_EQ(g_fakeOs.boxes[0].type, static_cast<UINT>(MB_ICONERROR));
}

}  // namespace
