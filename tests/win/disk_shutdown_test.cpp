// The HDD password check and the power-off, on the fake OS's notebook.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "hw/disk_identity.h"
#include "hw/shutdown.h"
#include "tests/win/call_log.h"
#include "tests/win/os_fake.h"
#include "tests/win/scratch.h"

namespace {

void Boot(const std::string& profile) {
    g_fakeOs = FakeOs{};
    std::string error;
    ASSERT_TRUE(ParseProfile(profile, &g_fakeOs.profile, &error)) << error;
    ClearCalls();
}

bool Called(const std::string& call) {
    std::vector<std::string> calls = RecordedCalls();
    return std::find(calls.begin(), calls.end(), call) != calls.end();
}

TEST(HddPassword, MaskOfFixedDrivesWithSecurityEnabled) {
    struct Case {
        const char* what;
        const char* drives;
        uint32_t mask;
    };
    const Case cases[] = {
        {"fixed, security enabled", R"([{"index": 0, "security": true}])", 0x1},
        {"removable with security", R"([{"index": 0, "fixed": false, "security": true}])", 0x0},
        {"locked and frozen alone", R"([{"index": 0, "locked": true, "frozen": true}])", 0x0},
        {"only drive 1", R"([{"index": 1, "security": true}])", 0x2},
        {"ATAPI slave with security", R"([{"index": 0}, {"index": 1, "atapi": true, "security": true}])", 0x2},
        {"two protected drives", R"([{"index": 0, "security": true}, {"index": 3, "security": true}])", 0x9},
        {"drive 4 is never examined", R"([{"index": 4, "security": true}])", 0x0},
        {"no SMART answers", R"([{"index": 2, "security": true, "smart": false}])", 0x0},
        {"no drives", R"([])", 0x0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Boot(std::string(R"({"drives": )") + c.drives + "}");
        EXPECT_EQ(CheckHddPassword(), c.mask);
        EXPECT_EQ(g_fakeOs.openDevices.size(), 0u) << "a drive left open";
        EXPECT_FALSE(Called("CreateFile \\\\.\\PhysicalDrive4 C0000000 3 3 0"));
        EXPECT_TRUE(Called("CreateFile \\\\.\\PhysicalDrive3 C0000000 3 3 0"));
    }
    Boot(R"({"drives": [{"index": 0}, {"index": 1, "atapi": true}]})");
    CheckHddPassword();
    EXPECT_TRUE(Called("Identify drive 0 command EC head A0"));
    EXPECT_TRUE(Called("Identify drive 1 command A1 head B0")) << "packet command, slave";
}

// Windows 98: no PhysicalDrive; one SMARTVSD handle for every drive, or the log says why none
// was asked and nothing is found.
TEST(HddPassword, ThroughSmartVsdOnWindows98) {
    struct Case {
        const char* what;
        const char* drives;
        bool smartvsd;
        uint32_t mask;
        const char* logged;
    };
    const Case cases[] = {
        {"protected secondary master", R"([{"index": 0}, {"index": 2, "security": true}])", true, 0x4, ""},
        {"ATAPI slave, protected", R"([{"index": 0}, {"index": 1, "atapi": true, "security": true}])", true, 0x2, ""},
        {"removable with security", R"([{"index": 0, "fixed": false, "security": true}])", true, 0x0, ""},
        {"not in IOSUBSYS", R"([{"index": 0, "security": true}])", false, 0x0,
         "HDD password : not checked (SMARTVSD.VXD is not loaded, error 2: it loads from SYSTEM\\IOSUBSYS)\r\n"},
        {"no IDE drive", R"([])", true, 0x0, "HDD password : not checked (SMARTVSD.VXD lists no IDE drive)\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MakeScratchDir(true);
        Boot(std::string(R"({"windows": {"major": 4, "minor": 10, "nt": false}, "drivers": {"smartvsd": )") +
             (c.smartvsd ? "true" : "false") + R"(}, "drives": )" + c.drives + "}");
        EXPECT_EQ(CheckHddPassword(), c.mask);
        EXPECT_EQ(ReadWholeFile("DebugLog.txt"), *c.logged ? c.logged : "<missing>");
        EXPECT_EQ(g_fakeOs.openDevices.size(), 0u) << "SMARTVSD left open";
        std::vector<std::string> calls = RecordedCalls();
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "CreateFile \\\\.\\SMARTVSD C0000000 0 1 0"), 1) << "one handle";
        EXPECT_FALSE(Called("CreateFile \\\\.\\PhysicalDrive0 C0000000 3 3 0"));
    }
    Boot(R"({"windows": {"nt": false}, "drives": [{"index": 0}, {"index": 3, "atapi": true}]})");
    CheckHddPassword();
    EXPECT_TRUE(Called("Identify drive 0 command EC head A0"));
    EXPECT_TRUE(Called("Identify drive 3 command A1 head B0")) << "the drive by bDriveNumber";
    EXPECT_FALSE(Called("Identify drive 1 command EC head B0")) << "only listed drives";
}

TEST(Shutdown, PrivilegeOnNtThenPowerOff) {
    Boot("{}");
    g_fakeOs.profile.machine.ecRam[0xE887] = 1;
    ShutdownSystem(EWX_POWEROFF);
    EXPECT_EQ(RecordedCalls(), (std::vector<std::string>{
                                   "OpenProcessToken 28",
                                   "LookupPrivilegeValue SeShutdownPrivilege",
                                   "AdjustTokenPrivileges 0 1 19 2", "ExitWindowsEx 8 0 armed 1"}));

    Boot(R"({"windows": {"major": 4, "minor": 10, "nt": false}})");
    ShutdownSystem(EWX_POWEROFF);
    EXPECT_EQ(RecordedCalls(), (std::vector<std::string>{"ExitWindowsEx 8 0 armed 0"}))
        << "no token on Windows 9x";
}

}  // namespace
