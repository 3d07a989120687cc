// The ROM read-out on the fake OS's notebook: what lands in the file, and every way it can fail.
#include "update/rom_readout.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <fstream>
#include <string>

#include "core/run_context.h"
#include "hw/access_driver.h"
#include "package/administrators_folder.h"
#include "package/place_security.h"
#include "platform/os.h"
#include "tests/win/os_fake.h"
#include "tests/win/scratch.h"
#include "update/rom_backup.h"

namespace {

constexpr size_t kMiB = 0x100000;

void Boot(uint32_t major, uint32_t minor, size_t flashSize) {
    g_fakeOs = FakeOs{};
    g_fakeOs.profile.windows.major = major;
    g_fakeOs.profile.windows.minor = minor;
    g_fakeOs.profile.drivers = DriverProfile{true, true, true, false};
    std::vector<uint8_t>& flash = g_fakeOs.profile.machine.flash;
    flash.resize(flashSize);
    for (size_t i = 0; i < flash.size(); ++i) flash[i] = static_cast<uint8_t>(i * 7 + i / 4096);
    g_accessDriver = AccessDriverState{false, false, false, FALSE, false, false, INVALID_HANDLE_VALUE};
    g_run = RunContext{};
    EnterScratchPlace();
    ProbeWindowsVersion();
}

TEST(ReadBiosRom, TheTopMegabyteExactlyWhateverWasThere) {
    struct Case {
        const char* what;
        uint32_t major, minor;
        size_t flashSize;
        size_t staleSize;  // a file of that name left from before
    };
    const Case cases[] = {
        {"ADDMEM, a stale 2 MiB file", 5, 1, kMiB, 2 * kMiB},
        {"KMDFMEMIO, a 2 MiB part", 6, 0, 2 * kMiB, 0},
        {"VEXA, a 4 MiB part and a shorter file", 6, 1, 4 * kMiB, 1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Boot(c.major, c.minor, c.flashSize);
        if (c.staleSize) std::ofstream("ReadRomFile.bin", std::ios::binary) << std::string(c.staleSize, 'S');
        EXPECT_EQ(ReadBiosRom("ReadRomFile.bin"), 0u);
        const std::vector<uint8_t>& flash = g_fakeOs.profile.machine.flash;
        EXPECT_TRUE(ReadWholeFile("ReadRomFile.bin") == std::string(flash.end() - kMiB, flash.end()));
        EXPECT_EQ(g_accessDriver.device, INVALID_HANDLE_VALUE) << "released";
    }
}

TEST(ReadBiosRom, FailuresEndWithACodeALineAndNoFile) {
    enum class Fault { NoDriver, DirectoryInTheWay, RefusedRead };
    struct Case {
        Fault fault;
        uint32_t result;
        const char* logged;
    };
    const Case cases[] = {
        {Fault::NoDriver, 0x80000005, "Read Bios Rom : no access driver"},
        {Fault::DirectoryInTheWay, 0x8000000f, "Read Bios Rom : ReadRomFile.bin not created"},
        {Fault::RefusedRead, 0x80000005, "Read Bios Rom : reading FFF64000 failed"},  // the 101st
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.logged);
        Boot(5, 1, kMiB);
        g_fakeOs.profile.drivers.addmem = c.fault != Fault::NoDriver;
        if (c.fault == Fault::DirectoryInTheWay) CreateDirectoryA("ReadRomFile.bin", nullptr);
        if (c.fault == Fault::RefusedRead) g_fakeOs.requestsUntilRefusal = 100;
        EXPECT_EQ(ReadBiosRom("ReadRomFile.bin"), c.result);
        EXPECT_EQ(ReadWholeFile("DebugLog.txt").rfind(c.logged, 0), 0u) << ReadWholeFile("DebugLog.txt");
        EXPECT_EQ(GetFileAttributesA("ReadRomFile.bin") == INVALID_FILE_ATTRIBUTES,
                  c.fault != Fault::DirectoryInTheWay)
            << "no half-read file left";
        EXPECT_EQ(g_fakeOs.openDevices.size(), 0u) << "a handle left open";
    }
}

// The backup before a flash: the top MiB exactly, under the Windows directory, named by model,
// version and time; this machine's oldest backups beyond three go; a refused read, or the
// package's flag, leaves none and the run goes on.
TEST(ReadBiosRom, BackupBeforeTheFlashKeepsTheNewestThree) {
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    const std::string folder = std::string(windows) + "\\QuorvinRomBackup\\";
    const std::string model = "QVTEST" + std::to_string(GetCurrentProcessId());
    struct Case {
        const char* what;
        int requestsUntilRefusal;
        uint32_t flags;
        const char* logged;
        size_t kept;  // this machine's backups afterwards
    };
    const Case cases[] = {
        {"four older ones", -1, 0, "ROM backup removed, a newer one kept : ", 3},
        {"a read refused", 10, 0, "ROM backup : the ROM could not be read; the update goes on without a backup", 4},
        {"NO_ROM_BACKUP", -1, 0x100000, "ROM backup : not made, the package says so", 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Boot(5, 1, 2 * kMiB);
        g_fakeOs.requestsUntilRefusal = c.requestsUntilRefusal;
        g_run.runFlags = c.flags;
        snprintf(g_run.modelNumber, sizeof g_run.modelNumber, "%s", model.c_str());
        snprintf(g_run.biosVersion, sizeof g_run.biosVersion, "05TX");
        ASSERT_TRUE(MakeAdministratorsOwn(folder));
        for (int day = 1; day <= 4; ++day) {
            std::ofstream(folder + model + "_04TX_2020010" + std::to_string(day) + "-000000.rom", std::ios::binary) << "old";
        }
        SaveRomBackup(nullptr);
        std::string log = ReadWholeFile("DebugLog.txt");
        EXPECT_NE(log.find(c.logged), std::string::npos) << log;
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((folder + model + "_*.rom").c_str(), &found);
        for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found)) names.push_back(found.cFileName);
        if (search != INVALID_HANDLE_VALUE) FindClose(search);
        EXPECT_EQ(names.size(), c.kept);
        bool saved = c.kept == 3;
        EXPECT_EQ(GetFileAttributesA((folder + model + "_04TX_20200101-000000.rom").c_str()) == INVALID_FILE_ATTRIBUTES, saved)
            << "the oldest goes only for a new one";
        const std::vector<uint8_t>& flash = g_fakeOs.profile.machine.flash;
        for (const std::string& name : names) {
            if (name.find("_05TX_") == std::string::npos) continue;
            EXPECT_TRUE(ReadWholeFile(folder + name) == std::string(flash.end() - kMiB, flash.end())) << name;
            EXPECT_NE(log.find("ROM backup : " + folder + name + "\r\n"), std::string::npos) << log;
        }
        for (const std::string& name : names) DeleteFileA((folder + name).c_str());
    }
}

}  // namespace
