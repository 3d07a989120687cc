// The power and disk-space checks on the fake OS's notebook.
#include "update/power_checks.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "core/run_context.h"
#include "tests/win/call_log.h"
#include "tests/win/os_fake.h"
#include "tests/win/scratch.h"

namespace {

void Reset() {
    g_fakeOs = FakeOs{};
    g_run = RunContext{};
    g_run.resources = GetModuleHandleA(nullptr);
    ClearCalls();
    MakeScratchDir(true);
}

TEST(PowerChecks, PowerStatusAndTheSkipFlag) {
    struct Case {
        uint8_t ac, battery;
        bool reported;
        uint32_t flags;
        uint32_t result;
    };
    const Case cases[] = {{1, 30, true, 0x8, 0},           {1, 29, true, 0x8, 0x80000011},
                          {0, 100, true, 0x8, 0x80000010}, {255, 255, true, 0x8, 0x80000012},
                          {255, 255, true, 0x10008, 0},    {1, 100, false, 0x8, 0x80000012},
                          {1, 100, false, 0x10008, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.ac) << " " << int(c.battery) << " reported " << c.reported);
        Reset();
        g_fakeOs.profile.power.acLine = c.ac;
        g_fakeOs.profile.power.battery = c.battery;
        g_fakeOs.powerStatusReported = c.reported;
        g_run.runFlags = c.flags;
        EXPECT_EQ(CheckSystemPower(), c.result);
        EXPECT_EQ(ReadWholeFile("DebugLog.txt"), "Check System Power\r\n");
    }
}

TEST(PowerChecks, DiskSpaceShowsItsOwnMessage) {
    struct Case {
        uint64_t free;
        bool readable;
        const char* remaining;  // nullptr: enough space, no box
    };
    const Case cases[] = {{2097152, true, nullptr}, {2097151, true, "1"}, {1ull << 40, false, "0"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.free << " readable " << c.readable);
        Reset();
        g_fakeOs.profile.power.diskFree = c.free;
        g_fakeOs.diskSpaceReadable = c.readable;
        EXPECT_EQ(CheckDiskSpace(), c.remaining ? 0 : 1);
        if (!c.remaining) {
            EXPECT_TRUE(g_fakeOs.boxes.empty());
            continue;
        }
        ASSERT_EQ(g_fakeOs.boxes.size(), 1u);
        EXPECT_EQ(g_fakeOs.boxes[0].title, "Fail : Disk Space");
        EXPECT_EQ(g_fakeOs.boxes[0].text, std::string("Insufficient free disk space.\n\n   Remaining free "
                                                      "disk space: ") +
                                              c.remaining + "Mbytes\n Required free disk space: 2Mbytes");
        EXPECT_EQ(g_fakeOs.boxes[0].type, static_cast<UINT>(MB_ICONERROR));
    }
}

}  // namespace
