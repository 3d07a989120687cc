// The faults only the fake OS can inject, each through the whole update sequence on the fake
// notebook: the gates, the working directory, the input suppression, the steps and the flasher
// runs are the program's own. The package and the progress window's unpacking are stood in for
// (this tier has no package behind its program), and so are the flashers (flasher_double).
//
// Each case prints one line for tests/e2e/faults.sh, which makes a table row of it:
//   fake-os-row|FIELD|EXIT CODE|MS|BOUND S|BOXES|TEMP FILES|WORK DIR FILES or "-" (none)
// and the 8042 accesses of its run, one a line: fake-os-trace|FIELD|ACCESS
#include <gtest/gtest.h>
#include <wbemcli.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/update_sequence.h"
#include "core/result_codes.h"
#include "core/run_context.h"
#include "hw/access_driver.h"
#include "package/archive.h"
#include "package/code_hold.h"
#include "package/language.h"
#include "package/package_file.h"
#include "tests/win/os_fake.h"
#include "tests/win/process_runner.h"
#include "tests/win/scratch.h"
#include "ui/progress_window.h"

// The package's part, as a package for this notebook would play it.

int ExtractAccessDriverFile(void) {
    std::ofstream("AddMem.sys", std::ios::binary) << "driver";
    return 1;
}

uint32_t OpenOwnPackage(void) { return 0; }
bool HoldPackagedFile(HANDLE, const char*, CodeHold*) { return true; }
bool HoldFlasherInputs(HANDLE, bool, CodeHold*) { return true; }
// The image and MICOM files here are the tests' own, not a package's: a copy is a copy.
bool PlacePackedCopy(HANDLE, const char* source, const char* target) { return CopyFileA(source, target, FALSE) != 0; }
void RecordPlacedInput(const char*, const uint8_t*) {}
void ReleaseCodeHold(CodeHold*) {}
int SelectLanguageResources(void) { return 0; }

uint32_t ReadArchiveOffset(uint32_t* offset) {
    *offset = 0x4000;
    return 0;
}

uint32_t ReadPackageHeader(HANDLE, uint32_t) {
    g_run.runFlags = 0;
    return 0;
}

// Unpacks the one image and the one MICOM file the notebook takes, and the flashers.
DWORD WINAPI ProgressWindowThread(LPVOID) {
    std::ofstream("QN14XB01.wph", std::ios::binary) << "image";
    std::ofstream("KB14.bin", std::ios::binary) << "micom";
    const std::string flasher = TestProgramDirectory() + "flasher_double.exe";
    for (const char* name : {"SWinFlash_32.exe", "SWinFlash_64.exe", "TarpexV01_10.exe"}) {
        CopyFileA(flasher.c_str(), name, FALSE);
    }
    SetEvent(g_run.extractionEvent);
    return 0;
}

void SetStepMark(int, int) {}
void SetStatusText(UINT) {}

namespace {

constexpr DWORD kBoundSeconds = 20;  // as for the notebook runs that wait on no hardware

std::string ReadProfileText(const char* name) {
    std::ifstream file(TestSourceDir() + "\\sim\\profiles\\" + name);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// The names in a directory, sorted and comma-separated; "-" when there is no such directory.
std::string Listing(const std::string& directory) {
    if (!IsDirectory(directory)) return "-";
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((directory + "\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name != "." && name != "..") names.push_back(name);
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    std::sort(names.begin(), names.end());
    std::string listing;
    for (const std::string& name : names) listing += (listing.empty() ? "" : ",") + name;
    return listing;
}

TEST(FakeOsFaults, EachEndsWithinItsBoundWithInputBack) {
    struct Case {
        const char* field;
        std::function<void()> inject;
        uint32_t exitCode;
        bool heldOff;  // the keyboard layer ran: the controller was held off and given back
        const char* temp;
        const char* workDirectory;  // "-": never made
        const char* logLine;        // one the working directory's log must hold, if any
    };
    // Nothing lands in TEMP: the working place is made first. A driver that never came up
    // leaves only the log; a loaded one keeps its file until the restart; a refused power or
    // disk check cleans up nothing.
    const Case cases[] = {
        {"serviceManagerOpens", [] { g_fakeOs.serviceManagerOpens = false; }, kResultDriverLoad, false, "",
         "DebugLog.txt", "00. Success to Create Directory"},
        {"deviceListAvailable", [] { g_fakeOs.deviceListAvailable = false; }, kResultOk, true, "",
         "AddMem.sys,DebugLog.txt", "Step 08"},
        {"powerStatusReported", [] { g_fakeOs.powerStatusReported = false; }, kResultNoPower, false, "",
         "AddMem.sys,DebugLog.txt", nullptr},
        {"diskSpaceReadable", [] { g_fakeOs.diskSpaceReadable = false; }, kResultDiskSpace, false, "",
         "AddMem.sys,DebugLog.txt", "00. Success to Create Directory"},
        {"bitLocker.queryError",
         [] {
             g_fakeOs.profile.windows.major = 10;
             g_fakeOs.profile.windows.minor = 0;
             g_fakeOs.bitLocker.provider = true;
             g_fakeOs.bitLocker.protectionOn = true;  // with a TPM: suspended, had the query answered
             g_fakeOs.bitLocker.tpm = true;
             g_fakeOs.bitLocker.queryError = WBEM_E_ACCESS_DENIED;
         },
         kResultOk, true, "", "AddMem.sys,DebugLog.txt", "BitLocker : query failed (0x80041003), left as it is"},
    };
    const std::string profile = ReadProfileText("phoenix.json");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        g_fakeOs = FakeOs{};
        std::string error;
        ASSERT_TRUE(ParseProfile(profile, &g_fakeOs.profile, &error)) << error;
        g_fakeOs.profile.machine.superIo.chipId = 0x11;  // its MICOM file is flashed and cleaned up
        g_accessDriver = AccessDriverState{false, false, false, FALSE, false, false, INVALID_HANDLE_VALUE};
        g_run = RunContext{};
        std::string temp = MakeScratchDir(false);
        SetEnvironmentVariableA("TEMP", temp.c_str());
        MakeScratchDir(true);
        c.inject();
        const bool protection = g_fakeOs.bitLocker.protectionOn;

        DWORD start = GetTickCount();
        uint32_t exitCode = UpdateSequence(GetModuleHandleA(nullptr), "");
        DWORD ms = GetTickCount() - start;

        Machine& machine = g_fakeOs.profile.machine;
        KbcSettle(&machine);
        bool heldOff = false;
        for (const std::string& line : machine.trace) {
            if (line == "out8 0064 AD") heldOff = true;
            if (line.rfind("out8 006", 0) == 0 || line.rfind("in8 006", 0) == 0) {
                printf("fake-os-trace|%s|%s\n", c.field, line.c_str());
            }
        }
        EXPECT_EQ(exitCode, c.exitCode);
        EXPECT_LT(ms, kBoundSeconds * 1000);
        EXPECT_EQ(heldOff, c.heldOff);
        EXPECT_EQ(machine.kbc.commandByte, 0x47) << "the controller's interfaces and interrupts back on";
        for (const DeviceProfile& device : g_fakeOs.profile.devices) EXPECT_TRUE(device.enabled) << device.className;
        EXPECT_EQ(g_fakeOs.bitLocker.protectionOn, protection) << "BitLocker not left as it was";
        std::string place = g_run.inWorkingDirectory ? g_run.workingDirectory : "";
        if (c.logLine) {
            std::string log = ReadWholeFile(place + "DebugLog.txt");
            EXPECT_NE(log.find(std::string(c.logLine) + "\r\n"), std::string::npos) << c.logLine;
        }
        // What the stand-in flashers write of their calls is theirs, not the program's.
        DeleteFileA((place + "child.txt").c_str());
        std::string workDirectory = place.empty() ? "-" : Listing(place.substr(0, place.size() - 1));
        if (g_run.workingDirectoryHeld != INVALID_HANDLE_VALUE) CloseHandle(g_run.workingDirectoryHeld);
        EXPECT_EQ(Listing(temp), c.temp);
        EXPECT_EQ(workDirectory, c.workDirectory);

        std::string boxes;
        for (const FakeBox& box : g_fakeOs.boxes) boxes += (boxes.empty() ? "" : ",") + box.title;
        printf("fake-os-row|%s|0x%08X|%lu|%lu|%s|%s|%s\n", c.field, static_cast<unsigned>(exitCode),
               static_cast<unsigned long>(ms), static_cast<unsigned long>(kBoundSeconds), boxes.c_str(),
               Listing(temp).c_str(), workDirectory.c_str());
        fflush(stdout);
        // The fake holds a started driver's file open; the next case starts another machine.
        for (auto& service : g_fakeOs.services) {
            if (service.second.image != INVALID_HANDLE_VALUE) CloseHandle(service.second.image);
        }
    }
}

}  // namespace
