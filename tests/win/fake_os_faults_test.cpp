// The faults only the fake OS can inject, each through the whole update sequence on the fake
// notebook: the gates, the working directory, the input suppression, the steps and the flasher
// runs are the program's own, and so are the checks and holds of what the package unpacked. The
// package and the progress window's unpacking are stood in for (this tier has no package behind
// its program): the package double knows what each of its entries unpacks to. The flashers are
// stood in for by flasher_double.
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
#include <map>
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
#include "package/protected_directory.h"
#include "tests/win/call_log.h"
#include "tests/win/os_fake.h"
#include "tests/win/process_runner.h"
#include "tests/win/scratch.h"
#include "ui/progress_window.h"

// The package's part, as a package for this notebook would play it.

namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

// What the package double's entries unpack to: the run's own below; any other name NAME (the
// image selection's files) to "content of NAME".
const std::map<std::string, std::string>& PackedEntries() {
    static std::map<std::string, std::string> entries;
    if (entries.empty()) {
        std::string flasher = ReadWholeFile(TestProgramDirectory() + "flasher_double.exe");
        entries = {{"addmem.sys", "driver"}, {"qn14xb01.wph", "image"}, {"kb14.bin", "micom"},
                   {"swinflash_32.exe", flasher}, {"swinflash_64.exe", flasher}, {"tarpexv01_10.exe", flasher}};
    }
    return entries;
}

}  // namespace

bool MatchesPackedFile(HANDLE, const char* name, HANDLE file) {
    auto entry = PackedEntries().find(Lower(name));
    std::string packed = entry != PackedEntries().end() ? entry->second : std::string("content of ") + name;
    if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) != 0) return false;
    std::string content(packed.size() + 1, '\0');
    DWORD got = 0;
    return ReadFile(file, &content[0], static_cast<DWORD>(content.size()), &got, nullptr) &&
           content.substr(0, got) == packed;
}

int ExtractAccessDriverFile(void) {
    std::ofstream("AddMem.sys", std::ios::binary) << "driver";
    return 1;
}

uint32_t OpenOwnPackage(bool) { return 0; }

void ListPackedNames(const char* ending, char* names, size_t size) {
    std::string list;
    for (const auto& entry : PackedEntries()) {
        const std::string& name = entry.first;
        size_t tail = strlen(ending);
        if (name.size() >= tail && name.compare(name.size() - tail, tail, ending) == 0) list += (list.empty() ? "" : " ") + name;
    }
    snprintf(names, size, "%s", list.c_str());
}
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
    for (const char* name : {"QN14XB01.wph", "KB14.bin", "SWinFlash_32.exe", "SWinFlash_64.exe", "TarpexV01_10.exe"}) {
        std::ofstream(name, std::ios::binary) << PackedEntries().at(Lower(name));
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
        // The flasher's end not seen: a crash. After a failed wait it may still run: its inputs
        // stay held, and so stay behind.
        {"waitFails", [] { g_fakeOs.waitFails = true; }, kResultBiosUpdate, true, "",
         "AddMem.sys,DebugLog.txt,SWinFlash.exe,TarpexV01_10.exe,bios.wph,kbc.bin",
         "Bios command ended : the wait for it failed (0xFFFFFFFF, error 6)"},
        {"exitCodeLost", [] { g_fakeOs.exitCodeLost = true; }, kResultBiosUpdate, true, "", "AddMem.sys,DebugLog.txt",
         "Bios command ended : its exit status is lost (error 6)"},
        {"failingFunctions", [] { g_fakeOs.failingFunctions.insert("CreateEnvironmentBlock"); }, kResultBiosUpdate, true,
         "", "AddMem.sys,DebugLog.txt", "Bios command refused : the system's environment cannot be had (CreateEnvironmentBlock error 5)"},
        // The flash guard: what a Windows refuses is logged and the flash goes on; what was
        // changed is put back at every end (checked after each case).
        {"power.executionState", [] { g_fakeOs.failingFunctions.insert("SetThreadExecutionState"); }, kResultOk, true,
         "", "AddMem.sys,DebugLog.txt", "Flash guard : the system cannot be kept awake (error 5)"},
        {"power.global", [] {}, kResultOk, true, "", "AddMem.sys,DebugLog.txt",
         "Flash guard : closing the lid does nothing until the end (it was action 2 on AC, 2 on battery)"},
        {"power.scheme",
         [] {
             g_fakeOs.profile.windows.major = 6;
             g_fakeOs.profile.windows.minor = 2;
             g_fakeOs.power.lidAc = g_fakeOs.power.activeLidAc = 1;
             g_fakeOs.power.lidDc = g_fakeOs.power.activeLidDc = 3;
         },
         kResultOk, true, "", "AddMem.sys,DebugLog.txt", "Flash guard : the lid's action put back"},
        {"power.lidUnchangeable",
         [] {
             g_fakeOs.profile.windows.major = 6;
             g_fakeOs.profile.windows.minor = 2;
             g_fakeOs.missingFunctions.insert("PowerCreateRequest");
             g_fakeOs.missingFunctions.insert("PowerGetActiveScheme");
         },
         kResultOk, true, "", "AddMem.sys,DebugLog.txt", "Flash guard : the lid is left as it is : its action cannot be read (error 120)"},
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
        ClearCalls();
        std::string temp = MakeScratchDir(false);
        SetEnvironmentVariableA("TEMP", temp.c_str());
        MakeScratchDir(true);
        c.inject();
        const bool protection = g_fakeOs.bitLocker.protectionOn;
        const FakePower power = g_fakeOs.power;

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
        // The flash guard held from the first write, when the run got that far, and nothing of
        // it left behind.
        bool guarded = CallIndex("SetThreadExecutionState 80000001") != -1;
        EXPECT_EQ(guarded, c.heldOff) << "held once the flash areas are prepared";
        const WindowsProfile& windows = g_fakeOs.profile.windows;
        EXPECT_EQ(CallIndex("PowerSetRequest 1") != -1, guarded && windows.major * 10 + windows.minor >= 61 &&
                                                            !g_fakeOs.missingFunctions.count("PowerCreateRequest"));
        EXPECT_EQ(g_fakeOs.power.executionState, static_cast<EXECUTION_STATE>(ES_CONTINUOUS));
        EXPECT_EQ(g_fakeOs.power.requestsSet, 0);
        EXPECT_EQ(g_fakeOs.power.requestsOpen, 0);
        EXPECT_EQ(g_fakeOs.power.activeLidAc, power.activeLidAc);
        EXPECT_EQ(g_fakeOs.power.activeLidDc, power.activeLidDc);
        EXPECT_EQ(g_fakeOs.power.global.user.LidCloseAc.Action, power.global.user.LidCloseAc.Action);
        EXPECT_EQ(g_fakeOs.power.global.user.LidCloseDc.Action, power.global.user.LidCloseDc.Action);
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

// A run that died while closing the lid did nothing: the next run puts back what it saved, from
// a place only administrators can change, before that place goes; a place anyone made is not read.
TEST(FakeOsFaults, NextRunPutsBackTheLidOfARunThatDied) {
    const std::string profile = ReadProfileText("phoenix.json");
    for (bool own : {true, false}) {
        SCOPED_TRACE(own ? "own place" : "planted place");
        g_fakeOs = FakeOs{};
        std::string error;
        ASSERT_TRUE(ParseProfile(profile, &g_fakeOs.profile, &error)) << error;
        g_accessDriver = AccessDriverState{false, false, false, FALSE, false, false, INVALID_HANDLE_VALUE};
        g_run = RunContext{};
        SetEnvironmentVariableA("TEMP", MakeScratchDir(false).c_str());
        char parent[MAX_PATH];
        GetWindowsDirectoryA(parent, sizeof parent);
        strcat(parent, "\\Temp");
        char earlier[MAX_PATH];
        HANDLE held = INVALID_HANDLE_VALUE;
        if (own) {
            ASSERT_TRUE(MakeProtectedPlace(parent, earlier, sizeof earlier, &held));
            CloseHandle(held);
        } else {
            snprintf(earlier, sizeof earlier, "%s\\__Quorvin_UpdatePlanted\\", parent);
            CreateDirectoryA(earlier, nullptr);
        }
        std::ofstream(std::string(earlier) + "LidClose.sav", std::ios::binary) << "QuorvinLid 1 global ac 2 dc 2\r\n";
        g_fakeOs.power.global.user.LidCloseAc.Action = g_fakeOs.power.global.user.LidCloseDc.Action = PowerActionNone;
        MakeScratchDir(true);

        EXPECT_EQ(UpdateSequence(GetModuleHandleA(nullptr), ""), kResultOk);
        POWER_ACTION expected = own ? PowerActionSleep : PowerActionNone;
        EXPECT_EQ(g_fakeOs.power.global.user.LidCloseAc.Action, expected);
        EXPECT_EQ(g_fakeOs.power.global.user.LidCloseDc.Action, expected);
        std::string log = ReadWholeFile(std::string(g_run.workingDirectory) + "DebugLog.txt");
        EXPECT_EQ(log.find("Lid action of an earlier run put back : action 2 on AC, 2 on battery\r\n") != std::string::npos, own) << log;
        EXPECT_EQ(IsDirectory(std::string(earlier, strlen(earlier) - 1)), !own) << "only our own earlier place goes";
        if (!own) {
            DeleteFileA((std::string(earlier) + "LidClose.sav").c_str());
            RemoveDirectoryA(earlier);
        }
        if (g_run.workingDirectoryHeld != INVALID_HANDLE_VALUE) CloseHandle(g_run.workingDirectoryHeld);
        for (auto& service : g_fakeOs.services) {
            if (service.second.image != INVALID_HANDLE_VALUE) CloseHandle(service.second.image);
        }
    }
}

}  // namespace
