// Bring-up of the access driver in each mode, on the fake OS's simulated notebook.
#include "hw/access_driver.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "core/run_context.h"
#include "tests/win/call_log.h"
#include "tests/win/os_fake.h"
#include "tests/win/process_runner.h"
#include "tests/win/scratch.h"

namespace {

const char kAddmemOpen[] = "CreateFile \\\\.\\ADDMEM C0000000 0 3 80";
const char kVexaOpen[] = "CreateFile \\\\.\\VEXA\\VexaDrv.log C0000000 0 3 80";
const char kKmdfOpen[] = "CreateFile \\\\.\\KMDFMEMIO\\kmdfmemiosamp.log C0000000 0 3 80";
const char kMemioOpen[] = "CreateFile \\\\.\\MEMIO.VXD C0000000 0 0 4000080";

struct Windows {
    const char* name;
    uint32_t major, minor;
    bool nt;
};

const Windows kXp = {"XP", 5, 1, true}, kVista = {"Vista", 6, 0, true}, k7 = {"7", 6, 1, true},
              k8 = {"8", 6, 2, true}, k10 = {"10", 10, 0, true}, k98 = {"98", 4, 10, false};

void Reset(const Windows& windows, bool wow64) {
    g_fakeOs = FakeOs{};
    g_fakeOs.profile.windows.major = windows.major;
    g_fakeOs.profile.windows.minor = windows.minor;
    g_fakeOs.profile.windows.nt = windows.nt;
    g_fakeOs.profile.windows.wow64 = wow64;
    g_accessDriver = AccessDriverState{false, false, false, FALSE, false, false, INVALID_HANDLE_VALUE};
    EnterScratchPlace();
    ClearCalls();
}

int Count(const std::string& call) {
    std::vector<std::string> calls = RecordedCalls();
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
}

TEST(AccessDriver, VersionProbeChoosesTheMode) {
    struct Case {
        Windows windows;
        bool wow64;
        bool win61, win60;
    };
    const Case cases[] = {{kXp, false, false, false}, {kXp, true, false, false},
                          {kVista, false, false, true}, {kVista, true, false, true},
                          {k7, false, true, false}, {k7, true, true, false},
                          {k8, true, false, false}, {k10, false, false, false},
                          {k98, false, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.windows.name << " wow64 " << c.wow64);
        Reset(c.windows, c.wow64);
        ProbeWindowsVersion();
        EXPECT_TRUE(g_accessDriver.versionProbed);
        EXPECT_EQ(g_accessDriver.isWin61, c.win61);
        EXPECT_EQ(g_accessDriver.isWin60, c.win60);
        EXPECT_EQ(g_accessDriver.isWow64 != FALSE, c.wow64 && c.windows.nt);
        EXPECT_EQ(IsWindowsNt(), c.windows.nt);
    }
}

TEST(AccessDriver, AddmemIsInstalledFromTheWorkingPlaceThenOpenedAtOnce) {
    for (const Windows& windows : {kXp, k8, k10}) {
        SCOPED_TRACE(windows.name);
        Reset(windows, windows.major != 5);
        std::string directory = EnterScratchPlace();
        ASSERT_TRUE(AcquireAccessDriver());
        const std::vector<std::string> expected = {
            kAddmemOpen,
            "OpenSCManager F003F",
            "OpenService ADDMEM F01FF",
            "OpenSCManager F003F",
            "CreateService ADDMEM ADDMEM F01FF 1 3 1 " + directory + "\\ADDMEM.SYS",
            "StartService 0",
            kAddmemOpen,
        };
        EXPECT_EQ(RecordedCalls(), expected);
        EXPECT_NE(g_accessDriver.device, INVALID_HANDLE_VALUE);
        ReleaseAccessDriver();
        EXPECT_EQ(g_accessDriver.device, INVALID_HANDLE_VALUE);

        ClearCalls();
        ASSERT_TRUE(AcquireAccessDriver());
        EXPECT_EQ(RecordedCalls(), std::vector<std::string>{kAddmemOpen}) << "nothing installed again";
        ReleaseAccessDriver();
        EXPECT_EQ(g_fakeOs.openDevices.size(), 0u) << "a handle left open";
    }
}

TEST(AccessDriver, LeftoverServiceIsStoppedAndDeletedFirst) {
    Reset(kXp, false);
    EnterScratchPlace();
    g_fakeOs.services["ADDMEM"] = FakeService{"C:\\old\\ADDMEM.SYS", false};
    ASSERT_TRUE(AcquireAccessDriver());
    std::vector<std::string> calls = RecordedCalls();
    auto at = [&](const std::string& call) {
        return std::find(calls.begin(), calls.end(), call) - calls.begin();
    };
    EXPECT_LT(at("ControlService 1"), at("DeleteService"));
    EXPECT_LT(at("DeleteService"), static_cast<long>(calls.size()));
    EXPECT_NE(g_fakeOs.services["ADDMEM"].binaryPath, "C:\\old\\ADDMEM.SYS");
}

TEST(AccessDriver, FailuresInAddmemAndMemioModesReturnFalse) {
    struct Case {
        const char* what;
        Windows windows;
        bool driverStarts;
        bool managerOpens;
        const char* open;
        int opens;
        int creates;
        bool inPlace = true;
    };
    const Case cases[] = {
        {"driver never starts", kXp, false, true, kAddmemOpen, 20, 10},
        {"no service manager", k10, true, false, kAddmemOpen, 10, 0},
        {"no MEMIO.VXD", k98, true, true, kMemioOpen, 20, 0},
        {"no working place to load it from", kXp, true, true, kAddmemOpen, 10, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Reset(c.windows, false);
        EnterScratchPlace();
        g_run.inWorkingDirectory = c.inPlace;
        g_fakeOs.profile.drivers.addmem = c.driverStarts;
        g_fakeOs.serviceManagerOpens = c.managerOpens;
        EXPECT_FALSE(AcquireAccessDriver());
        EXPECT_EQ(Count(c.open), c.opens);
        std::vector<std::string> calls = RecordedCalls();
        EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                                [](const std::string& s) { return s.rfind("CreateService", 0) == 0; }),
                  c.creates);
        EXPECT_TRUE(g_fakeOs.boxes.empty()) << "reported by the step, not here";
        EXPECT_EQ(g_fakeOs.openDevices.size(), 0u) << "a handle left open";
    }
}

// An end of the run reopens only the driver this run brought up: it never installs one, never
// shows the missing driver's box, never ends the process.
TEST(AccessDriver, EndsReopenOnlyWhatThisRunBroughtUp) {
    for (const Windows& windows : {kXp, k7}) {
        SCOPED_TRACE(windows.name);
        Reset(windows, false);
        g_fakeOs.profile.drivers.vexa = false;
        EXPECT_FALSE(ReacquireAccessDriver());
        std::vector<std::string> calls = RecordedCalls();
        EXPECT_EQ(std::count_if(calls.begin(), calls.end(), [](const std::string& s) { return s.rfind("CreateService", 0) == 0; }), 0);
        EXPECT_TRUE(g_fakeOs.boxes.empty());
    }
    Reset(kXp, false);
    ASSERT_TRUE(AcquireAccessDriver());
    ReleaseAccessDriver();
    ClearCalls();
    EXPECT_TRUE(ReacquireAccessDriver());
    EXPECT_EQ(RecordedCalls(), std::vector<std::string>{kAddmemOpen});
    ReleaseAccessDriver();
}

TEST(AccessDriver, VexaKeepsItsHandleKmdfOnlyTestsPresence) {
    Reset(k7, true);
    g_fakeOs.profile.drivers.vexa = true;
    ASSERT_TRUE(AcquireAccessDriver());
    EXPECT_EQ(Count(kVexaOpen), 1);
    EXPECT_NE(g_accessDriver.device, INVALID_HANDLE_VALUE);
    ReleaseAccessDriver();
    EXPECT_EQ(g_fakeOs.openDevices.size(), 0u) << "VEXA left open";

    Reset(kVista, false);
    g_fakeOs.profile.drivers.kmdf = true;
    ASSERT_TRUE(AcquireAccessDriver());
    EXPECT_EQ(Count(kKmdfOpen), 1);
    EXPECT_EQ(g_accessDriver.device, INVALID_HANDLE_VALUE);
    EXPECT_EQ(g_fakeOs.openDevices.size(), 0u) << "no handle stays open";
    EXPECT_FALSE(g_accessDriver.kmdfOpenFailed);

    Reset(k98, false);
    g_fakeOs.profile.drivers.memio = true;
    ASSERT_TRUE(AcquireAccessDriver());
    EXPECT_EQ(RecordedCalls(), (std::vector<std::string>{kMemioOpen}));
    ReleaseAccessDriver();
    EXPECT_EQ(g_fakeOs.openDevices.size(), 0u) << "MEMIO.VXD left open";
}

TEST(AccessDriver, KmdfRequestsRetryTheOpenTenTimes50MsApart) {
    Reset(kVista, false);
    ProbeWindowsVersion();
    ClearCalls();
    DWORD start = GetTickCount();
    EXPECT_FALSE(OpenKmdfAccessDevice());
    DWORD elapsed = GetTickCount() - start;
    EXPECT_EQ(Count(kKmdfOpen), 10);
    EXPECT_GE(elapsed, 450u);
    EXPECT_LT(elapsed, 3000u);
    EXPECT_TRUE(g_accessDriver.kmdfOpenFailed);
}

TEST(AccessDriver, MissingPreinstalledDriverEndsTheProcessWithItsBox) {
    struct Case {
        const char* windows;
        const char* open;
    };
    for (const Case& c : {Case{"\"major\": 6, \"minor\": 1, \"wow64\": true", kVexaOpen},
                          Case{"\"major\": 6, \"minor\": 0", kKmdfOpen}}) {
        SCOPED_TRACE(c.windows);
        std::string profile = MakeScratchDir(false) + "\\profile.json";
        std::ofstream(profile) << "{\"windows\": {" << c.windows << "}}";
        ProcessResult run = RunProcess("\"" + TestProgramDirectory() + "hw_probe.exe\" \"" + profile + "\"",
                                       TestProgramDirectory());
        EXPECT_EQ(run.exitCode, 0xFFFFFFFFu);
        std::string out = run.out;
        size_t opens = 0;
        for (size_t at = out.find(c.open); at != std::string::npos; at = out.find(c.open, at + 1)) ++opens;
        EXPECT_EQ(opens, 10u) << "ten attempts, one open each";
        EXPECT_NE(out.find("MessageBox Driver Load Fail\nbox owner=00000000 type=10 text=Fail to "
                           "update.\nCheck if KTV(Panorell) is installed.\nKTV must be installed "
                           "to update BIOS.\n"),
                  std::string::npos)
            << out;
        EXPECT_EQ(out.find("acquired"), std::string::npos);
    }
}

// The driver gone after mouse and keyboard were taken: the mice come back before the box that
// nobody could answer without them, and the process still ends with -1.
TEST(AccessDriver, DriverLostAfterInputWasTakenGivesItBackBeforeTheBox) {
    for (const char* windows : {"\"major\": 6, \"minor\": 1", "\"major\": 6, \"minor\": 0"}) {
        SCOPED_TRACE(windows);
        std::string profile = MakeScratchDir(false) + "\\profile.json";
        std::ofstream(profile) << "{\"windows\": {" << windows << "}, \"drivers\": {\"vexa\": true, \"kmdf\": true}, "
                               << "\"devices\": [{\"class\": \"Mouse\", \"status\": \"0x2000\", \"problem\": 0, "
                               << "\"status_when_disabled\": \"0x2000\"}]}";
        ProcessResult run = RunProcess("\"" + TestProgramDirectory() + "hw_probe.exe\" \"" + profile + "\" lost",
                                       TestProgramDirectory());
        EXPECT_EQ(run.exitCode, 0xFFFFFFFFu);
        size_t off = run.out.find(" disable\n");
        size_t on = run.out.find(" enable\n");
        size_t box = run.out.find("MessageBox Driver Load Fail\n");
        EXPECT_NE(off, std::string::npos) << run.out;
        EXPECT_NE(box, std::string::npos) << run.out;
        EXPECT_TRUE(off < on && on < box) << "the mice enabled again before the box\n" << run.out;
    }
}

}  // namespace
