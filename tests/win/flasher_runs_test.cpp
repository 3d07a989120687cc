// The flashers as child processes: verdicts, files, a flasher that cannot start, a working
// directory with spaces whose leading words name a planted program, BitLocker around the BIOS
// flash, and only the package's own code beside a flasher.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

#include "core/result_codes.h"
#include "core/run_context.h"
#include "package/archive_format.h"
#include "core/run_flags.h"
#include "core/sha256.h"
#include "hw/access_driver.h"
#include "package/code_hold.h"
#include "tests/win/call_log.h"
#include "tests/win/os_fake.h"
#include "tests/win/process_runner.h"
#include "tests/win/progress_stand_in.h"
#include "tests/win/scratch.h"
#include "tools/qpack/package_writer.h"
#include "update/flasher_runs.h"

namespace {

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void Touch(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    CloseHandle(file);
}

// Records content as what the run placed under name, as the copy or the table edit does.
void Place(const char* name, const std::string& content) {
    uint8_t digest[kSha256Size];
    Sha256Of(content.data(), content.size(), digest);
    RecordPlacedInput(name, digest);
}

// What the flasher double is to do: end with exitCode (nullptr: nothing written, it ends with 0).
void OrderChild(const std::string& work, const char* exitCode, const char* file = "child_exit.txt") {
    if (exitCode) std::ofstream(work + file, std::ios::binary) << exitCode;
}

// The PATH a flasher is started with: the system's directories and the working directory.
std::string FlasherPath(const std::string& work) {
    char system[MAX_PATH];
    char windows[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    GetWindowsDirectoryA(windows, sizeof windows);
    return std::string(system) + ";" + windows + ";" + work;
}

// The package the run's programs are checked against: the double under the packed names of
// the flashers and of the Phoenix flasher's library; the 64-bit flasher has "64" behind it.
std::string FlasherPackage() {
    static std::string package;
    if (package.empty()) {
        std::string source = MakeScratchDir(false);
        std::string doubleExe = TestProgramDirectory() + "flasher_double.exe";
        std::vector<std::string> files;
        for (const char* name : {"SWinFlash_32.exe", "TarpexV01_10.exe", "PhlashLc_32.dll"}) {
            files.push_back(source + "\\" + name);
            EXPECT_TRUE(CopyFileA(doubleExe.c_str(), files.back().c_str(), FALSE));
        }
        files.push_back(source + "\\SWinFlash_64.exe");
        std::ofstream(files.back(), std::ios::binary) << ReadWholeFile(doubleExe) << "64";
        package = source + "\\package.exe";
        EXPECT_EQ(BuildPackage(doubleExe, package, 0, files), "");
    }
    return package;
}

// A fresh run context with the working directory and the package set.
void StartRun(const std::string& work) {
    g_run = RunContext{};
    snprintf(g_run.workingDirectory, sizeof g_run.workingDirectory, "%s", work.c_str());
    static HANDLE package = CreateFileA(FlasherPackage().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    g_run.package = package;
    uint8_t head[kProgramHeadSize];
    DWORD got = 0;
    SetFilePointer(package, 0, nullptr, FILE_BEGIN);
    ReadFile(package, head, sizeof head, &got, nullptr);
    g_run.archiveOffset = ReadLe32(head + kArchiveOffsetField);
    g_run.archiveEnd = GetFileSize(package, nullptr);
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
        {"MICOM -1", false, "-1", kResultMicomUpdate, false},
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
        for (const char* name : {"bios.wph", "newSys.bin", "kbc.bin", "BIOS.ROM"}) Touch(work + name);
        for (const char* name : {"bios.wph", "kbc.bin", "bios.rom"}) Place(name, "");
        OrderChild(work, c.exitCode);
        StartRun(work);
        g_run.progressWindow = CreateProgressStandIn();
        ClearCalls();
        ASSERT_TRUE(SetCurrentDirectoryA(work.c_str()));

        const char* command = c.bios ? "SWinFlash bios.wph /P /BBL" : "TarpexV01_10 kbc.bin /FORCE /A";
        EXPECT_EQ(c.bios ? RunBiosFlasher(command) : RunMicomFlasher(command), c.result);

        std::string child = ReadWholeFile(work + "child.txt");
        std::string line = "\"" + work + command;
        line.insert(line.find(' ', work.size()), "\"");
        if (c.exitCode) {
            EXPECT_EQ(child.substr(0, child.find("\nPATH=") + 1),
                      work + tool + ".exe\n" + line + "\n" + work.substr(0, work.size() - 1) + "\n")
                << "the pinned flasher ran once, its path quoted in front of the command as given";
        } else {
            EXPECT_EQ(child, "<missing>") << "nothing else ran in its place";
        }
        EXPECT_EQ(Exists(work + (c.bios ? "bios.wph" : "kbc.bin")), c.filesLeft);
        EXPECT_EQ(Exists(work + "BIOS.ROM"), !c.bios || c.filesLeft) << "the AMI files go right after a BIOS flash that succeeded";
        std::vector<std::string> marks;
        for (const std::string& call : RecordedCalls()) {
            if (call.rfind("Mark ", 0) == 0 || call.rfind("Status ", 0) == 0) marks.push_back(call);
        }
        std::vector<std::string> shown = {c.bios ? "Mark 1008 arrow" : "Mark 1009 arrow"};
        if (!c.bios) shown.push_back("Status Preparing MICOM update.");
        if (c.result == 0) shown.push_back(c.bios ? "Mark 1008 check" : "Mark 1009 check");
        EXPECT_EQ(marks, shown) << "the row's arrow, and its check mark once the flasher succeeded";
        DestroyWindow(g_run.progressWindow);
        std::string log = ReadWholeFile(work + "DebugLog.txt");
        if (c.exitCode) EXPECT_NE(log.find("Bios command : " + line + "\r\n"), std::string::npos) << log;
        SetCurrentDirectoryA(root.c_str());
    }
}

std::vector<std::string> BitLockerCalls() {
    std::vector<std::string> calls;
    for (const std::string& call : RecordedCalls()) {
        if (call.rfind("BitLocker ", 0) == 0) calls.push_back(call);
    }
    return calls;
}

// A TPM-protected system drive with the provider there.
void ProtectSystemDrive(uint32_t major, uint32_t minor) {
    g_fakeOs.profile.windows.major = major;
    g_fakeOs.profile.windows.minor = minor;
    g_fakeOs.bitLocker = FakeBitLocker{};
    g_fakeOs.bitLocker.provider = true;
    g_fakeOs.bitLocker.protectionOn = true;
    g_fakeOs.bitLocker.tpm = true;
    ClearCalls();
}

void ForgetBitLocker() {
    g_fakeOs.profile.windows = WindowsProfile{};
    g_fakeOs.bitLocker = FakeBitLocker{};
}

TEST(FlasherRuns, BitLockerSuspendedForOneRestartRightBeforeTheFlash) {
    const std::vector<std::string> query = {"BitLocker query C:"};
    const std::vector<std::string> suspend = {"BitLocker query C:", "BitLocker suspend C: 1"};
    const std::vector<std::string> resume = {"BitLocker query C:", "BitLocker suspend C: 1", "BitLocker resume C:"};
    struct Case {
        const char* what;
        uint32_t major, minor;
        HRESULT queryError;
        const char* exitCode;  // nullptr: the flasher is missing
        uint32_t result;
        std::vector<std::string> calls;
        std::vector<bool> flasherRanAtChange;  // at each suspend or resume
        bool protectedAfter;
        UINT restartsLeft;
        const char* logged;
        uint32_t conversion = 1;  // fully encrypted
        HRESULT conversionError = S_OK;
    };
    const Case cases[] = {
        {"Windows 10, flashed", 10, 0, S_OK, "0", 0, suspend, {false}, false, 1,
         "BitLocker : C: suspended for one restart"},
        {"Windows 10, being encrypted, flashed", 10, 0, S_OK, "0", 0, suspend, {false}, false, 1,
         "BitLocker : C: converting (status 2) with TPM", 2},
        {"Windows 10, verdict -120", 10, 0, S_OK, "-120", kResultModel, resume, {false, true}, true, 0,
         "BitLocker : C: resumed"},
        {"Windows 10, verdict -110", 10, 0, S_OK, "-110", kResultBiosDate, resume, {false, true}, true, 0,
         "BitLocker : C: resumed"},
        {"Windows 10, verdict -109", 10, 0, S_OK, "-109", kResultBiosDate, resume, {false, true}, true, 0,
         "BitLocker : C: resumed"},
        {"Windows 10, flasher crashed", 10, 0, S_OK, "-1073741819", kResultBiosUpdate, suspend, {false}, false, 1,
         "BitLocker : C: suspended for one restart"},
        {"Windows 10, flasher missing", 10, 0, S_OK, nullptr, kResultBiosUpdate, resume, {false, false}, true, 0,
         "BitLocker : C: resumed"},
        {"Windows 7", 6, 1, S_OK, "0", 0, {}, {}, true, 0, "BitLocker : C: not asked, left as it is on Windows 6.1"},
        {"query fails", 10, 0, static_cast<HRESULT>(0x80041003), "0", 0, query, {}, true, 0,
         "BitLocker : query failed (0x80041003), left as it is"},
        {"protected, its conversion status unreadable", 10, 0, S_OK, "0", 0, suspend, {false}, false, 1,
         "BitLocker : C: protected with TPM", 1, static_cast<HRESULT>(0x80041003)},
        {"being encrypted, its conversion status unreadable", 10, 0, S_OK, "0", 0, query, {}, true, 0,
         "BitLocker : C: protection off, conversion status unreadable (0x80041003), left as it is", 2,
         static_cast<HRESULT>(0x80041003)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string work = MakeScratchDir(true) + "\\";
        if (c.exitCode) {
            ASSERT_TRUE(CopyFileA((TestProgramDirectory() + "flasher_double.exe").c_str(),
                                  (work + "SWinFlash.exe").c_str(), FALSE));
        }
        OrderChild(work, c.exitCode);
        StartRun(work);
        ProtectSystemDrive(c.major, c.minor);
        g_fakeOs.bitLocker.queryError = c.queryError;
        g_fakeOs.bitLocker.conversion = c.conversion;
        g_fakeOs.bitLocker.conversionError = c.conversionError;
        std::vector<bool> flasherRan;
        g_fakeOs.bitLocker.changed = [&] { flasherRan.push_back(Exists(work + "child.txt")); };

        EXPECT_EQ(RunBiosFlasher("SWinFlash bios.wph /P"), c.result);

        EXPECT_EQ(BitLockerCalls(), c.calls);
        EXPECT_EQ(flasherRan, c.flasherRanAtChange);
        EXPECT_EQ(g_fakeOs.bitLocker.protectionOn, c.protectedAfter);
        EXPECT_EQ(g_fakeOs.bitLocker.restartsLeft, c.restartsLeft);
        std::string log = ReadWholeFile(work + "DebugLog.txt");
        EXPECT_NE(log.find(std::string(c.logged) + "\r\n"), std::string::npos) << log;
        EXPECT_EQ(Exists(work + "child.txt"), c.exitCode != nullptr) << "the flasher ran all the same";
    }
    ForgetBitLocker();
}

TEST(FlasherRuns, SkipMicomAndOverlongLines) {
    g_run = RunContext{};
    g_run.runFlags = kFlagSkipUpdateMicom;
    EXPECT_EQ(RunMicomFlasher("TarpexV01_10 kbc.bin /FORCE"), 0u) << "nothing run";

    std::string work = MakeScratchDir(true) + "\\";
    StartRun(work);
    // Two quotes around the flasher's path.
    std::string command = "SWinFlash bios.wph /P" + std::string(512 - 2 - work.size() - 21, 'x');
    ProtectSystemDrive(10, 0);
    EXPECT_EQ(RunBiosFlasher(command.c_str()), kResultBiosUpdate) << "one character over 511 is refused";
    EXPECT_NE(ReadWholeFile("DebugLog.txt").find("Bios command refused : longer than 511 characters\r\n"),
              std::string::npos);
    // A program path past MAX_PATH in a line that fits: said as it is.
    snprintf(g_run.workingDirectory, sizeof g_run.workingDirectory, "%s%s\\", work.c_str(),
             std::string(250 - work.size(), 'd').c_str());
    EXPECT_EQ(RunBiosFlasher("SWinFlash bios.wph /P"), kResultBiosUpdate);
    EXPECT_NE(ReadWholeFile("DebugLog.txt").find("Bios command refused : its program path would pass 259 characters\r\n"),
              std::string::npos);
    EXPECT_TRUE(BitLockerCalls().empty()) << "a refused run never touches BitLocker";
    ForgetBitLocker();
}

// Before a flasher starts, every program, library and driver beside it must be what the package
// unpacked, and stays so, unwritable and undeletable, until the flasher has ended.
TEST(FlasherRuns, OnlyThePackagesOwnCodeRuns) {
    std::string doubleBytes = ReadWholeFile(TestProgramDirectory() + "flasher_double.exe");
    std::string changed = doubleBytes;
    changed[changed.size() / 2] ^= 0x01;
    struct Case {
        const char* what;
        const char* file;  // written beside a true 32-bit SWinFlash.exe
        std::string content;
        bool started;
        BOOL wow64 = FALSE;
        const char* placed = nullptr;  // what the run recorded when it placed the file
        bool heldOpen = false;         // open for writing by another program
        const char* why = "is not as packed";
    };
    const Case cases[] = {
        {"on 64-bit Windows, the 64-bit flasher", "SWinFlash.exe", doubleBytes + "64", true, TRUE},
        {"on 64-bit Windows, the 32-bit flasher", "SWinFlash.exe", doubleBytes, false, TRUE},
        {"its library as packed", "PhlashLc.dll", doubleBytes, true},
        {"the MICOM flasher as packed", "TarpexV01_10.exe", doubleBytes, true},
        {"a text file beside it", "notes.txt", "not code", true},
        {"its library changed in one bit", "PhlashLc.dll", changed, false},
        {"its library cut short", "PhlashLc.dll", doubleBytes.substr(0, doubleBytes.size() - 1), false},
        {"its library grown", "PhlashLc.dll", doubleBytes + "x", false},
        {"a library the package lacks", "version.dll", doubleBytes, false},
        {"a driver the package lacks", "PhlashNT.sys", "planted", false},
        {"the flasher itself grown", "SWinFlash.exe", doubleBytes + "x", false},
        {"the image as the run placed it", "bios.wph", "image", true, FALSE, "image"},
        {"the image changed after it was placed", "bios.wph", "crafted", false, FALSE, "image"},
        {"a configuration file the package lacks", "PHLASH.INI", "planted", false},
        {"its library as packed, open for writing elsewhere", "PhlashLc.dll", doubleBytes, false, FALSE, nullptr, true,
         "is open for writing by another program"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string work = MakeScratchDir(true) + "\\";
        OrderChild(work, "TarpexV01_10.exe", "child_tamper.txt");
        std::ofstream(work + "SWinFlash.exe", std::ios::binary) << doubleBytes;
        std::ofstream(work + c.file, std::ios::binary) << c.content;
        StartRun(work);
        if (c.placed) Place(c.file, c.placed);
        HANDLE writer = c.heldOpen ? CreateFileA((work + c.file).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                 nullptr, OPEN_EXISTING, 0, nullptr)
                                   : INVALID_HANDLE_VALUE;
        g_accessDriver.isWow64 = c.wow64;
        ProtectSystemDrive(10, 0);

        EXPECT_EQ(RunBiosFlasher("SWinFlash bios.wph /P"), c.started ? 0u : kResultBiosUpdate);

        EXPECT_EQ(Exists(work + "child.txt"), c.started);
        EXPECT_EQ(BitLockerCalls().empty(), !c.started) << "a refused run never touches BitLocker";
        std::string log = ReadWholeFile(work + "DebugLog.txt");
        if (!c.started) {
            EXPECT_NE(log.find(std::string("Bios command refused : ") + c.file + " " + c.why + "\r\n"),
                      std::string::npos) << log;
        } else if (std::string(c.file) == "TarpexV01_10.exe") {
            EXPECT_EQ(ReadWholeFile(work + "tamper.txt"), "write refused, delete refused\n");
            EXPECT_TRUE(DeleteFileA((work + c.file).c_str())) << "held no longer once the flasher ended";
        }
        if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
        SetCurrentDirectoryA(TestProgramDirectory().c_str());
    }
    g_accessDriver.isWow64 = FALSE;
    ForgetBitLocker();
}

// On NT a flasher gets the system's own environment, never the user's (who sets TEMP, PATH or
// __COMPAT_LAYER as he likes), with PATH and TEMP set; without it, it does not run. Windows 9x
// has no user to keep out: the program's own environment, PATH set.
TEST(FlasherRuns, TheSystemsEnvironmentOnly) {
    char systemRoot[MAX_PATH] = {};
    char ownTemp[MAX_PATH] = {};
    GetEnvironmentVariableA("SystemRoot", systemRoot, sizeof systemRoot);
    GetEnvironmentVariableA("TEMP", ownTemp, sizeof ownTemp);
    SetEnvironmentVariableA("QV_USER_VARIABLE", "planted");
    for (int windows : {2000, 98, 0}) {  // 0: an NT without CreateEnvironmentBlock
        SCOPED_TRACE(windows);
        std::string work = MakeScratchDir(true) + "\\";
        ASSERT_TRUE(CopyFileA((TestProgramDirectory() + "flasher_double.exe").c_str(), (work + "SWinFlash.exe").c_str(),
                              FALSE));
        StartRun(work);
        g_fakeOs.profile.windows.nt = windows != 98;
        if (windows == 0) g_fakeOs.missingFunctions.insert("CreateEnvironmentBlock");

        EXPECT_EQ(RunBiosFlasher("SWinFlash bios.wph /P"), windows == 0 ? kResultBiosUpdate : 0u);

        g_fakeOs.missingFunctions.clear();
        g_fakeOs.profile.windows = WindowsProfile{};
        std::string child = ReadWholeFile(work + "child.txt");
        if (windows == 0) {
            EXPECT_EQ(child, "<missing>") << "never with the user's environment";
            EXPECT_NE(ReadWholeFile(work + "DebugLog.txt").find("Bios command refused : the system's environment cannot "
                                                                "be had (no CreateEnvironmentBlock)\r\n"),
                      std::string::npos);
            continue;
        }
        std::string temp = windows == 98 ? ownTemp : work.substr(0, work.size() - 1);
        EXPECT_EQ(child.substr(child.find("\nPATH=") + 1),
                  "PATH=" + FlasherPath(work) + "\nTEMP=" + temp + "\nTMP=" + temp + "\nSystemRoot=" + systemRoot +
                      "\nQV_USER_VARIABLE=" + (windows == 98 ? "planted" : "<unset>") + "\n");
    }
    SetEnvironmentVariableA("QV_USER_VARIABLE", nullptr);
}

}  // namespace
