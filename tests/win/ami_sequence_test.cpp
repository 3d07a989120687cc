// The run on an AMI machine with its operations replaced by scripted doubles: what each failing
// step ends it with. The whole run is the e2e tier's.
#include "app/ami_sequence.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "core/run_context.h"
#include "tests/win/call_log.h"
#include "tests/win/os_fake.h"
#include "tests/win/scratch.h"
#include "tests/win/step_doubles.h"

namespace {

void Reset() {
    ResetRun();
    MakeScratchDir(true);
    g_run.resources = GetModuleHandleA(nullptr);
    g_run.inWorkingDirectory = true;
}

bool Called(const std::string& name) { return CallIndex(name) != -1; }

TEST(AmiUpdateSequence, FirstFailingStepEndsTheRunWithItsCode) {
    struct Case {
        const char* options;
        const char* step;
        int64_t value;
        uint32_t exitCode;
        const char* box;        // title of the box shown, nullptr for none
        const char* notCalled;  // the operation that would have come next
    };
    const Case cases[] = {
        {"/SKIP_CHECK_POWER", "", 0, 0x8000000e, "Fail : Invalid Option", "SuppressInput"},
        {"", "CheckHddPassword", 1, 0x80000004, "Fail : HDD Password", "FindAmiImages"},
        {"", "FindAmiImages", 0x8000000b, 0x8000000b, "Fail : Bios File", "CheckChipVendor"},
        {"", "CheckChipVendor", -1, 0x80000005, "Fail : Driver Load", "ReadAmiVersion"},
        {"", "ReadAmiVersion", 0x80000009, 0x80000009, "Fail : Update Bios", "SelectAmiImage"},
        {"", "SelectAmiImage", 0x8000000c, 0x8000000c, "Fail : Micom File", "ReadAmiBuildNumber"},
        {"", "ReadAmiBuildNumber", 0, 0x80000005, "Fail : Driver Load", "ReadFidBuildNumber"},
        {"", "ReadAmiBuildNumber", 0xFFFFFFFF, 0x80000005, "Fail : Driver Load", "ReadFidBuildNumber"},
        {"", "ReadAmiBuildNumber", 0x80000005, 0x80000005, "Fail : Driver Load", "ReadFidBuildNumber"},
        {"", "ReadFidBuildNumber", 0, 0x8000000b, "Fail : Bios File", "ComparePartNumbers"},
        {"", "ReadFidBuildNumber", 0xFFFFFFFF, 0x8000000b, "Fail : Bios File", "ComparePartNumbers"},
        {"", "ReadAmiBuildNumber", 251, 0x80000013, "Fail : Bios Date", "ComparePartNumbers"},
        {"", "ReadAmiBuildNumber", 0xFFFFFFF4, 0x80000013, "Fail : Bios Date", "ComparePartNumbers"},
        {"", "ComparePartNumbers", 0x80000007, 0x80000007, "Fail : Model(Bios Part Number)", "RunBiosFlasher"},
        {"", "ComparePartNumbers", 0xFFFFFFFF, 0xFFFFFFFF, nullptr, "RunBiosFlasher"},
        {"", "RunBiosFlasher", 0x80000013, 0x80000013, "Fail : Bios Date", "EnableGlobalSmi"},
        {"", "EnableGlobalSmi", 0x80000005, 0x8000000d, "Fail : Enable SMI", "ShutdownSystem 8"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.options << c.step << " " << c.value);
        Reset();
        g_steps.results[c.step] = c.value;
        EXPECT_EQ(AmiUpdateSequence(c.options), c.exitCode);
        EXPECT_FALSE(Called(c.notCalled));
        EXPECT_TRUE(Called("DeleteExtractedFiles")) << "every failure here cleans up";
        ASSERT_EQ(g_fakeOs.boxes.size(), c.box ? 1u : 0u);
        if (c.box) EXPECT_EQ(g_fakeOs.boxes[0].title, c.box);
    }
}

TEST(AmiUpdateSequence, ACompletedRunPowersOffUnlessThePackageSaysNot) {
    for (uint32_t flags : {0u, 0x40000u}) {
        SCOPED_TRACE(flags);
        Reset();
        g_run.runFlags = flags;
        EXPECT_EQ(AmiUpdateSequence(""), 0u);
        EXPECT_TRUE(Called("RunBiosFlasher"));
        EXPECT_TRUE(Called("DeleteExtractedFiles"));
        EXPECT_EQ(Called("ShutdownSystem 8"), flags == 0);
    }
}

}  // namespace
