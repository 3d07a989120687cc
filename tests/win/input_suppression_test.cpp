// Mouse and keyboard suppression on the fake OS's notebook.
#include "firmware/input_suppression.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "hw/access_driver.h"
#include "tests/win/call_log.h"
#include "tests/win/os_fake.h"
#include "tests/win/scratch.h"

namespace {

void Boot(const std::string& profile) {
    g_fakeOs = FakeOs{};
    std::string error;
    ASSERT_TRUE(ParseProfile(profile, &g_fakeOs.profile, &error)) << error;
    g_fakeOs.services["ADDMEM"] = FakeService{"C:\\ADDMEM.SYS", true};
    g_accessDriver = AccessDriverState{false, false, false, FALSE, false, false, INVALID_HANDLE_VALUE};
    EnterScratchPlace();
    ProbeWindowsVersion();
    ClearCalls();
}

std::vector<std::string> Installer() {
    std::vector<std::string> calls;
    for (const std::string& call : RecordedCalls()) {
        if (call.rfind("ClassInstaller", 0) == 0) calls.push_back(call);
    }
    return calls;
}

std::vector<std::string> KbcWrites() {
    std::vector<std::string> writes;
    for (const std::string& line : g_fakeOs.profile.machine.trace) {
        if (line.rfind("out8 0064", 0) == 0 || line.rfind("out8 0060", 0) == 0) writes.push_back(line);
    }
    return writes;
}

const char kMice[] = R"({"devices": [
    {"class": "Mouse"}, {"class": "MOUSE"}, {"class": "Keyboard"}, {"class": "Mous"},
    {"class": "Mouse", "status": "0x0"}, {"class": "mouseTouchpad"}, {"class": ""},
    {"class": "Mouse", "problem": 29}, {"class": "AVeryLongClassNameThatGoesOnAndOn"}]})";

TEST(InputSuppression, MouseClassesThatAreDisableable) {
    Boot(kMice);
    SetMouseDevicesEnabled(false);
    EXPECT_EQ(Installer(), (std::vector<std::string>{"ClassInstaller 100 disable", "ClassInstaller 101 disable",
                                                     "ClassInstaller 105 disable"}));
    std::vector<std::string> calls = RecordedCalls();
    EXPECT_EQ(calls.front(), "SetupDiGetClassDevs 6");
    EXPECT_EQ(calls.back(), "SetupDiDestroyDeviceInfoList");
    EXPECT_NE(std::find(calls.begin(), calls.end(),
                        "SetClassInstallParams 100 size 20 header 8 12 state 2 scope 1 profile 0"),
              calls.end());
    ClearCalls();
    SetMouseDevicesEnabled(true);
    EXPECT_EQ(Installer(), (std::vector<std::string>{"ClassInstaller 100 enable", "ClassInstaller 101 enable",
                                                     "ClassInstaller 105 enable"}));
}

TEST(InputSuppression, UnreadableAndOverlongClassNames) {
    std::string longMouse = "Mouse" + std::string(1100, 'x');
    Boot(R"({"devices": [{"class": "Mouse", "class_unreadable": true}, {"class": ")" + longMouse +
         R"("}, {"class": "Mouse"}]})");
    SetMouseDevicesEnabled(false);
    EXPECT_EQ(Installer(), (std::vector<std::string>{"ClassInstaller 101 disable", "ClassInstaller 102 disable"}))
        << "a class that cannot be read is skipped; a long one is cut and still a mouse";
}

TEST(InputSuppression, MiceDisabledByUsComeBackEvenWhenTheirStatusChanged) {
    Boot(R"({"devices": [{"class": "Mouse", "status_when_disabled": "0x0"}, {"class": "Mouse"}]})");
    SuppressInput();
    EXPECT_FALSE(g_fakeOs.profile.devices[0].enabled);
    ClearCalls();
    RestoreInput();
    EXPECT_EQ(Installer(), (std::vector<std::string>{"ClassInstaller 100 enable", "ClassInstaller 101 enable"}));
    EXPECT_TRUE(g_fakeOs.profile.devices[0].enabled);
}

// An end before the input was turned off (a refused package) touches neither mouse nor
// keyboard, and brings up no driver for them; a second restore does nothing more.
TEST(InputSuppression, RestoreOnlyWhatThisRunSuppressedOnce) {
    Boot(R"({"devices": [{"class": "Mouse"}, {"class": "Mouse", "status": "0x0"}]})");
    RestoreInput();
    EXPECT_EQ(Installer(), std::vector<std::string>{});
    EXPECT_EQ(KbcWrites(), std::vector<std::string>{});
    EXPECT_TRUE(g_fakeOs.profile.machine.trace.empty()) << "no driver request at all";
    SuppressInput();
    RestoreInput();
    ClearCalls();
    g_fakeOs.profile.machine.trace.clear();
    RestoreInput();
    EXPECT_EQ(Installer(), std::vector<std::string>{});
    EXPECT_EQ(KbcWrites(), std::vector<std::string>{});
}

TEST(InputSuppression, KeyboardControllerSequences) {
    Boot(R"({"kbc_pending": {"channel": "keyboard", "value": "0x1C"}})");
    SuppressInput();
    EXPECT_EQ(KbcWrites(), (std::vector<std::string>{"out8 0064 AD", "out8 0064 A7", "out8 0064 60",
                                                     "out8 0060 74"}));
    KbcSettle(&g_fakeOs.profile.machine);
    EXPECT_EQ(g_fakeOs.profile.machine.kbc.commandByte, 0x74);
    EXPECT_EQ(ReadWholeFile("DebugLog.txt"), "KEY OFF Start\r\nKey OFF End\r\n");
    // Each write waits for the input buffer: a status read stands before it.
    std::vector<std::string> accesses;
    for (const std::string& line : g_fakeOs.profile.machine.trace) {
        if (line.rfind("ioctl", 0) != 0) accesses.push_back(line);
    }
    for (size_t i = 0; i < accesses.size(); ++i) {
        if (accesses[i].rfind("out8 006", 0) == 0) {
            ASSERT_GT(i, 0u);
            EXPECT_EQ(accesses[i - 1].rfind("in8 0064", 0), 0u) << accesses[i];
        }
    }
    g_fakeOs.profile.machine.trace.clear();
    RestoreInput();
    EXPECT_TRUE(g_fakeOs.profile.machine.kbc.output.empty()) << "the waiting byte was taken out";
    EXPECT_EQ(g_fakeOs.profile.machine.kbc.commandByte, 0x47);
}

TEST(InputSuppression, NoDriverOrNoDeviceListSkipsOnlyThatLayer) {
    Boot("{}");
    g_fakeOs.services.clear();
    g_fakeOs.profile.drivers.addmem = false;
    SuppressInput();
    EXPECT_EQ(ReadWholeFile("DebugLog.txt"), "KEY OFF Start\r\n");
    EXPECT_EQ(Installer(), (std::vector<std::string>{"ClassInstaller 100 disable"}));

    Boot("{}");
    g_fakeOs.deviceListAvailable = false;
    SuppressInput();
    EXPECT_TRUE(Installer().empty());
    KbcSettle(&g_fakeOs.profile.machine);
    EXPECT_EQ(g_fakeOs.profile.machine.kbc.commandByte, 0x74);
}

TEST(InputSuppression, StuckControllerDoesNotHangTheRun) {
    Boot(R"({"faults": {"kbc_input_never_clears": true}})");
    DWORD start = GetTickCount();
    SuppressInput();
    RestoreInput();
    EXPECT_LT(GetTickCount() - start, 5000u);
}

}  // namespace
