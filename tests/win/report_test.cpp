#include "app/report.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/run_context.h"
#include "tests/win/call_log.h"
#include "tests/win/os_fake.h"
#include "tests/win/process_runner.h"
#include "tests/win/progress_stand_in.h"
#include "tests/win/step_doubles.h"

namespace {

// Every end gives input back and releases the flash guard (each does nothing where nothing was taken).
const std::vector<std::string> kEnd = {"StopAnimation", "RestoreInput", "ReleaseFlashGuard"};

struct Row {
    uint32_t code;
    const char* title;  // nullptr: no box
    const char* text;
    bool cleanUp;
};

const Row kRows[] = {
    {0x80000001, nullptr, nullptr, false},
    {0x80000002, "Fatal Error", "Initializing program failed.", false},
    {0x80000003, "Fail : Unpack", "File Extraction failed.\n\nProgram will be terminated.", false},
    {0x80000004, "Fail : HDD Password",
     "The HDD is password protected.\n\nRelease the password protection for the HDD in the "
     "BIOS Setup and try again.\n\nProgram is terminated.",
     true},
    {0x80000005, "Fail : Driver Load", "Loading driver failed.\n\nRestart system.", true},
    {0x80000006, nullptr, nullptr, true},
    {0x80000007, "Fail : Model(Bios Part Number)",
     "The BIOS/MICOM model to be updated is different.\n\nCheck the program.\n\n Current Model "
     "(BIOS Part Number) : NP35(P07)\n\n     New Model (BIOS Part Number) : NP40(P09)",
     true},
    {0x80000008, "Fail : Model(Bios Part Number)",
     "The BIOS/MICOM model to be updated is different.\n\nCheck the program.\n\n Current Model "
     "(BIOS Part Number) : NP35(P07)\n\n     New Model (BIOS Part Number) : NP40(P09)",
     true},
    {0x80000009, "Fail : Update Bios", "BIOS Update failed.", true},
    {0x8000000a, "Fail : Micom", "MICOM Update failed.", true},
    {0x8000000b, "Fail : Bios File", "Invalid BIOS file.", true},
    {0x8000000c, "Fail : Micom File", "Invalid MICOM file.", true},
    {0x8000000d, "Fail : Enable SMI", "SMI setting failed.", true},
    {0x8000000e, "Fail : Invalid Option", "Invalid Option.\nCheck the option.", true},
    {0x8000000f, "Fail : Directory", "Fail to create directory.", false},
    {0x80000010, "Fail : Power",
     "AC adapter is not connected.\n\nFor update, the AC adapter has to be connected.", false},
    {0x80000011, "Fail : Power",
     "There is no connected battery or the remaining charge\r\nlevel of the battery is lower "
     "than 30%.\n\nCheck your battery.",
     false},
    {0x80000012, "Fail : Power",
     "There is no connected AC adapter and battery or the remaining charge\r\nof the battery "
     "is lower than 30%. \n\nCheck your AC adapter and battery.",
     false},
    {0x80000013, "Fail : Bios Date",
     "This system's BIOS version is the latest.\n\nUpdate program will be terminated.", true},
    {0x80000014, nullptr, nullptr, true},
};

TEST(ReportResult, BoxAndCleanUpOfEveryCode) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(testing::Message() << std::hex << row.code);
        ResetRun();
        g_run.resources = GetModuleHandleA(nullptr);
        g_run.progressWindow = CreateProgressStandIn();
        g_run.inWorkingDirectory = true;
        strcpy(g_run.modelNumber, "NP35");
        strcpy(g_run.partNumber, "P07");
        strcpy(g_run.newModelNumber, "NP40");
        strcpy(g_run.newPartNumber, "P09");

        EXPECT_EQ(ReportResult(row.code), row.code);
        EXPECT_EQ(g_run.busy, 0);

        std::vector<std::string> calls = RecordedCalls();
        std::vector<std::string> expected = kEnd;
        if (row.cleanUp) expected.insert(expected.end(), {"DeleteExtractedFiles", "DeleteListedAndRuntimeFiles"});
        if (row.title) expected.push_back(std::string("MessageBox ") + row.title);
        EXPECT_EQ(calls, expected);

        if (row.title) {
            ASSERT_EQ(g_fakeOs.boxes.size(), 1u);
            EXPECT_EQ(g_fakeOs.boxes[0].title, row.title);
            EXPECT_EQ(g_fakeOs.boxes[0].text, row.text);
            EXPECT_EQ(g_fakeOs.boxes[0].type, static_cast<UINT>(MB_ICONERROR));
            EXPECT_EQ(g_fakeOs.boxes[0].owner, g_run.progressWindow);
        }
        DestroyWindow(g_run.progressWindow);
    }
}

// Before the working place exists nothing where the run stands is ours: nothing is deleted.
TEST(ReportResult, CleanUpOnlyInTheWorkingPlace) {
    for (bool inWorkingDirectory : {false, true}) {
        ResetRun();
        g_run.resources = GetModuleHandleA(nullptr);
        g_run.inWorkingDirectory = inWorkingDirectory;
        ReportResult(0x80000005);
        std::vector<std::string> expected = {"RestoreInput", "ReleaseFlashGuard"};
        if (inWorkingDirectory) expected.insert(expected.end(), {"DeleteExtractedFiles", "DeleteListedAndRuntimeFiles"});
        expected.push_back("MessageBox Fail : Driver Load");
        EXPECT_EQ(RecordedCalls(), expected);
    }
}

// In English string 53 reads like the fixed title; German tells them apart.
TEST(ReportResult, NoAcKeepsItsEnglishTitleUnderATranslation) {
    ResetRun();
    HMODULE german = LoadLibraryExA((TestProgramDirectory() + "UiLangGr.dll").c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(german, nullptr);
    g_run.resources = german;
    ReportResult(0x80000010);
    EXPECT_STREQ(g_run.messageTitle, "Fehler: Stromversorgung") << "loaded all the same";
    ASSERT_EQ(g_fakeOs.boxes.size(), 1u);
    EXPECT_EQ(g_fakeOs.boxes[0].title, "Fail : Power");
    EXPECT_EQ(g_fakeOs.boxes[0].text.rfind("Der AC-Adapter ist nicht angeschlossen.\n\n", 0), 0u)
        << g_fakeOs.boxes[0].text;
    EXPECT_EQ(g_fakeOs.boxes[0].owner, nullptr) << "no progress window yet: no owner";
    FreeLibrary(german);
}

TEST(ReportResult, NoMessageBoxFlagShowsNothingButStillCleansUp) {
    ResetRun();
    g_run.resources = GetModuleHandleA(nullptr);
    g_run.runFlags = 0x20;
    g_run.inWorkingDirectory = true;
    EXPECT_EQ(ReportResult(0x8000000e), 0x8000000eu);
    EXPECT_TRUE(g_fakeOs.boxes.empty());
    EXPECT_NE(CallIndex("DeleteExtractedFiles"), -1);
}

}  // namespace
