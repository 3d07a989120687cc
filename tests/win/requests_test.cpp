// Port and memory requests of the program, through each driver of the fake OS's simulated
// notebook, and DetectAmiBios on top of them.
#include "hw/requests.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "core/run_context.h"
#include "hw/access_driver.h"
#include "platform/os.h"
#include "tests/win/call_log.h"
#include "tests/win/os_fake.h"
#include "tests/win/scratch.h"
#include "update/ami_path.h"

namespace {

struct Mode {
    const char* name;
    uint32_t major, minor;
    bool nt, wow64;
    const char* device;  // as the trace names it
};

const Mode kModes[] = {
    {"ADDMEM on XP", 5, 1, true, false, "ADDMEM"},
    {"ADDMEM on 10 under WOW64", 10, 0, true, true, "ADDMEM"},
    {"KMDFMEMIO on Vista", 6, 0, true, false, "KMDFMEMIO"},
    {"VEXA on 7", 6, 1, true, false, "VEXA"},
    {"VEXA on 7 under WOW64", 6, 1, true, true, "VEXA"},
    {"MEMIO on 98", 4, 10, false, false, "MEMIO"},
};

void Boot(const Mode& mode) {
    g_fakeOs = FakeOs{};
    WindowsProfile& windows = g_fakeOs.profile.windows;
    windows.major = mode.major;
    windows.minor = mode.minor;
    windows.nt = mode.nt;
    windows.wow64 = mode.wow64;
    g_fakeOs.profile.drivers = DriverProfile{true, true, true, true};
    g_accessDriver = AccessDriverState{false, false, false, FALSE, false, false, INVALID_HANDLE_VALUE};
    EnterScratchPlace();
    ClearCalls();
    ProbeWindowsVersion();
}

bool TraceHas(const std::string& line) {
    const std::vector<std::string>& trace = g_fakeOs.profile.machine.trace;
    return std::find(trace.begin(), trace.end(), line) != trace.end();
}

TEST(Requests, PortsAndMemoryInEveryMode) {
    for (const Mode& mode : kModes) {
        SCOPED_TRACE(mode.name);
        Boot(mode);
        ASSERT_TRUE(AcquireAccessDriver());
        Machine& machine = g_fakeOs.profile.machine;
        SetPmBase(&machine, 0x1000);

        CmosWrite(0x2C, 0x5A);
        CmosWriteHigh(0x10, 0xA5);
        EXPECT_EQ(machine.cmos[0][0x2C], 0x5A);
        EXPECT_EQ(machine.cmos[1][0x10], 0xA5);
        IoPortWrite8(0x70, 0x2C);
        EXPECT_EQ(IoPortRead8(0x71), 0x5A);
        EXPECT_EQ(PciConfigRead32(0, 31, 0, 0x40), 0x1001u);
        EXPECT_TRUE(TraceHas("out32 0CF8 8000F840"));

        memcpy(&machine.lowMemory[0xF4321], "DiaG@", 5);
        char window[8] = {};
        PhysMemRead(0xF4320, 7, window);
        EXPECT_EQ(std::string(window, 7), "\xFF" "DiaG@\xFF");
        char patch[3] = {'Q', 'V', '!'};
        PhysMemWrite(0xFFF00010, 3, patch);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(&machine.flash[0x10]), 3), "QV!");
        EXPECT_EQ(PhysMemFind(0xF0000, 0x10000, "DiaG@", 1), 0xF4321u);
        EXPECT_EQ(PhysMemFind(0xF0000, 0x10000, "DiaG@", 16), 0u);

        machine.kbc.output.push_back({0xFA, true});
        EXPECT_EQ(KbcReadStatus() & 0x21, 0x21);
        EXPECT_EQ(KbcReadData(), 0xFA);
        EXPECT_FALSE(KbcReadTimedOut());
        ReleaseAccessDriver();
        EXPECT_EQ(g_fakeOs.openDevices.size(), 0u) << "a handle left open";

        bool sawDevice = false;
        for (const std::string& line : machine.trace) {
            if (line.rfind(std::string("ioctl ") + mode.device + " ", 0) == 0) sawDevice = true;
        }
        EXPECT_TRUE(sawDevice);
    }
}

TEST(Requests, WideVexaFormUnderWow64) {
    Boot(kModes[4]);
    ASSERT_TRUE(AcquireAccessDriver());
    IoPortWrite8(0x80, 0x42);
    PhysMemFind(0xF0000, 0x10000, "_DMI_", 16);
    ReleaseAccessDriver();
    EXPECT_TRUE(TraceHas("ioctl VEXA 9C412008 in=18 out=1"));
    EXPECT_TRUE(TraceHas("ioctl VEXA 9C41200C in=17 out=65536"));
    Boot(kModes[3]);
    ASSERT_TRUE(AcquireAccessDriver());
    IoPortWrite8(0x80, 0x42);
    ReleaseAccessDriver();
    EXPECT_TRUE(TraceHas("ioctl VEXA 9C412008 in=10 out=1"));
}

TEST(Requests, KmdfDeviceGoneReadsAllOnesAndWritesNothing) {
    Boot(kModes[2]);
    ASSERT_TRUE(AcquireAccessDriver());
    g_fakeOs.profile.drivers.kmdf = false;
    EXPECT_EQ(IoPortRead8(0x71), 0xFF);
    EXPECT_EQ(IoPortRead16(0x1000), 0xFFFF);
    EXPECT_EQ(IoPortRead32(0xCFC), 0xFFFFFFFFu);
    CmosWrite(0x20, 0x11);
    char untouched[4] = {'k', 'e', 'e', 'p'};
    PhysMemRead(0xF0000, 4, untouched);
    EXPECT_EQ(std::string(untouched, 4), "keep");
    EXPECT_EQ(g_fakeOs.profile.machine.cmos[0][0x20], 0);
    ClearCalls();
    PhysMemWrite(0xF0000, 4, untouched);
    EXPECT_TRUE(RecordedCalls().empty()) << "the last open failed: not even tried";
}

TEST(Requests, RefusedPortRequestsGiveUpAfterTheirBound) {
    Boot(kModes[0]);
    ASSERT_TRUE(AcquireAccessDriver());
    // The VEXA driver refuses every ADDMEM request sent to it.
    g_accessDriver.device = OsCreateFileA("\\\\.\\VEXA\\VexaDrv.log", GENERIC_READ | GENERIC_WRITE, 0,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    size_t before = g_fakeOs.profile.machine.trace.size();
    EXPECT_EQ(IoPortRead8(0x71), 0xFF);
    EXPECT_EQ(g_fakeOs.profile.machine.trace.size() - before, static_cast<size_t>(kPortRequestAttempts));
    before = g_fakeOs.profile.machine.trace.size();
    IoPortWrite8(0x70, 0x01);
    EXPECT_EQ(g_fakeOs.profile.machine.cmosIndex[0], 0);
    EXPECT_EQ(g_fakeOs.profile.machine.trace.size() - before, 1u) << "a refusing driver is asked once more";
    // Served again, a request is repeated in full once more when refused.
    ReleaseAccessDriver();
    ASSERT_TRUE(AcquireAccessDriver());
    IoPortWrite8(0x70, 0x01);
    EXPECT_EQ(g_fakeOs.profile.machine.cmosIndex[0], 1);
    OsCloseHandle(g_accessDriver.device);
    g_accessDriver.device = OsCreateFileA("\\\\.\\VEXA\\VexaDrv.log", GENERIC_READ | GENERIC_WRITE, 0,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    before = g_fakeOs.profile.machine.trace.size();
    IoPortRead8(0x71);
    EXPECT_EQ(g_fakeOs.profile.machine.trace.size() - before, static_cast<size_t>(kPortRequestAttempts));
}

TEST(Requests, KbcReadDataGivesUpWhenNothingArrives) {
    Boot(kModes[0]);
    ASSERT_TRUE(AcquireAccessDriver());
    g_fakeOs.profile.machine.faults.kbcOutputNeverFills = true;
    DWORD start = GetTickCount();
    EXPECT_EQ(KbcReadData(), 0xFF);
    EXPECT_TRUE(KbcReadTimedOut());
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, kKbcWaitMs - 20);
    EXPECT_LT(elapsed, kKbcWaitMs + 2000);
}

TEST(DetectAmiBios, FindsTheAmiSignatureOnItsStride) {
    struct Case {
        uint32_t at;  // 0: no signature
        int family;
    };
    for (const Mode& mode : kModes) {
        for (Case c : {Case{0, 1}, Case{0x8010, 0}, Case{0x8011, 1}, Case{0, 1}}) {
            SCOPED_TRACE(testing::Message() << mode.name << " at " << std::hex << c.at);
            Boot(mode);
            if (c.at) memcpy(&g_fakeOs.profile.machine.lowMemory[0xF0000 + c.at], "AMIBIOS Version", 15);
            g_run.biosFamily = 7;
            EXPECT_EQ(DetectAmiBios(), 1);
            EXPECT_EQ(g_run.biosFamily, c.family);
            EXPECT_TRUE(TraceHas("memrd F0000+10000"));
            EXPECT_EQ(g_accessDriver.device, INVALID_HANDLE_VALUE) << "released";
            EXPECT_EQ(g_fakeOs.openDevices.size(), 0u) << "a handle left open";
        }
    }
    Boot(kModes[0]);
    g_fakeOs.profile.drivers.addmem = false;
    EXPECT_EQ(DetectAmiBios(), 0) << "no driver";
    Boot(kModes[0]);
    g_fakeOs.requestsUntilRefusal = 0;
    EXPECT_EQ(DetectAmiBios(), 0) << "a driver that refuses every request";
    EXPECT_EQ(g_fakeOs.openDevices.size(), 0u) << "a handle left open";
}

}  // namespace
