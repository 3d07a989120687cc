// The power and disk-space checks on the fake OS's notebook.
#include "update/power_checks.h"

#include <gtest/gtest.h>
#include <windows.h>

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
        uint32_t flags;
        uint32_t result;
    };
    const Case cases[] = {{1, 30, 0x8, 0}, {1, 29, 0x8, 0x80000011}, {0, 100, 0x8, 0x80000010},
                          {255, 255, 0x8, 0x80000012}, {255, 255, 0x10008, 0}};
    for (const Case& c : cases) {
        Reset();
        g_fakeOs.profile.power.acLine = c.ac;
        g_fakeOs.profile.power.battery = c.battery;
        g_run.runFlags = c.flags;
        EXPECT_EQ(CheckSystemPower(), c.result) << int(c.ac) << " " << int(c.battery);
        EXPECT_EQ(ReadWholeFile("DebugLog.txt"), "Check System Power\r\n");
    }
}

TEST(PowerChecks, DiskSpaceShowsItsOwnMessage) {
    Reset();
    g_fakeOs.profile.power.diskFree = 2097152;
    EXPECT_EQ(CheckDiskSpace(), 1);
    EXPECT_TRUE(g_fakeOs.boxes.empty());

    Reset();
    g_fakeOs.profile.power.diskFree = 2097151;
    EXPECT_EQ(CheckDiskSpace(), 0);
    ASSERT_EQ(g_fakeOs.boxes.size(), 1u);
    EXPECT_EQ(g_fakeOs.boxes[0].title, "Fail : Disk Space");
    EXPECT_EQ(g_fakeOs.boxes[0].text,
              "Insufficient free disk space.\n\n   Remaining free disk space: 1Mbytes\n Required "
              "free disk space: 2Mbytes");
    EXPECT_EQ(g_fakeOs.boxes[0].type, static_cast<UINT>(MB_ICONERROR));
}

}  // namespace
