// The flashers as child processes: verdicts, files, a flasher that cannot start, and a working
// directory with spaces whose leading words name a planted program.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "core/result_codes.h"
#include "core/run_context.h"
#include "core/run_flags.h"
#include "tests/win/process_runner.h"
#include "tests/win/scratch.h"
#include "update/flasher_runs.h"

namespace {

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void Touch(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    CloseHandle(file);
}

TEST(FlasherRuns, VerdictsFilesAndPinnedExecutable) {
    struct Case {
        const char* what;
        bool bios;
        const char* exitCode;  // nullptr: the flasher is missing
        uint32_t result;
        bool filesLeft;
    };
    const Case cases[] = {
        {"BIOS 0", true, "0", 0, false},
        {"BIOS 1 counts as success", true, "1", 0, false},
        {"BIOS -120", true, "-120", kResultModel, true},
        {"BIOS -110", true, "-110", kResultBiosDate, true},
        {"BIOS -109", true, "-109", kResultBiosDate, true},
        {"BIOS flasher missing", true, nullptr, kResultBiosUpdate, true},
        {"MICOM 0", false, "0", 0, false},
        {"MICOM 3", false, "3", kResultMicomUpdate, false},
        {"MICOM flasher missing", false, nullptr, kResultMicomUpdate, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // TEMP of Windows XP: "C:\Documents and Settings\...". A planted "Documents.exe" is what
        // an unpinned start would try first.
        std::string root = MakeScratchDir(false);
        std::string work = root + "\\Documents and Settings\\__Quorvin_Update\\";
        ASSERT_TRUE(CreateDirectoryA((root + "\\Documents and Settings").c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryA(work.c_str(), nullptr));
        std::string doubleExe = TestProgramDirectory() + "flasher_double.exe";
        ASSERT_TRUE(CopyFileA(doubleExe.c_str(), (root + "\\Documents.exe").c_str(), FALSE));
        const char* tool = c.bios ? "SWinFlash" : "TarpexV01_10";
        if (c.exitCode) ASSERT_TRUE(CopyFileA(doubleExe.c_str(), (work + tool + ".exe").c_str(), FALSE));
        for (const char* name : {"bios.wph", "newSys.bin", "kbc.bin"}) Touch(work + name);
        SetEnvironmentVariableA("QV_CHILD_EXIT", c.exitCode);
        g_run = RunContext{};
        snprintf(g_run.workingDirectory, sizeof g_run.workingDirectory, "%s", work.c_str());
        ASSERT_TRUE(SetCurrentDirectoryA(work.c_str()));

        const char* command = c.bios ? "SWinFlash bios.wph /P /BBL" : "TarpexV01_10 kbc.bin /FORCE /A";
        EXPECT_EQ(c.bios ? RunBiosFlasher(command) : RunMicomFlasher(command), c.result);

        std::string child = ReadWholeFile(work + "child.txt");
        if (c.exitCode) {
            EXPECT_EQ(child, work + tool + ".exe\n" + work + command + "\n" + work.substr(0, work.size() - 1) + "\n")
                << "the pinned flasher ran once, with the command line as given";
        } else {
            EXPECT_EQ(child, "<missing>") << "nothing else ran in its place";
        }
        EXPECT_EQ(Exists(work + (c.bios ? "bios.wph" : "kbc.bin")), c.filesLeft);
        std::string log = ReadWholeFile(work + "DebugLog.txt");
        if (c.exitCode) EXPECT_NE(log.find("Bios command : " + work + command + "\r\n"), std::string::npos) << log;
        SetCurrentDirectoryA(root.c_str());
    }
    SetEnvironmentVariableA("QV_CHILD_EXIT", nullptr);
}

TEST(FlasherRuns, SkipMicomAndOverlongLines) {
    g_run = RunContext{};
    g_run.runFlags = kFlagSkipUpdateMicom;
    EXPECT_EQ(RunMicomFlasher("TarpexV01_10 kbc.bin /FORCE"), 0u) << "nothing run";

    std::string work = MakeScratchDir(true) + "\\";
    g_run = RunContext{};
    snprintf(g_run.workingDirectory, sizeof g_run.workingDirectory, "%s", work.c_str());
    std::string command = "SWinFlash bios.wph /P" + std::string(511 - work.size() - 21 + 1, 'x');
    EXPECT_EQ(RunBiosFlasher(command.c_str()), kResultBiosUpdate) << "one character over 511 is refused";
    EXPECT_NE(ReadWholeFile("DebugLog.txt").find("refused"), std::string::npos);
}

}  // namespace
