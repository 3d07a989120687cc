// Dialog 116 of a DMI-only package, from the English language DLL as a run loads it, driven from
// a second thread as a user would: values typed into the edits, OK, Cancel, the close box, Esc.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/run_context.h"
#include "tests/win/call_log.h"
#include "tests/win/os_fake.h"
#include "tests/win/process_runner.h"
#include "tests/win/progress_stand_in.h"
#include "tests/win/scratch.h"
#include "update/dmi_mode.h"

namespace {

constexpr int kSerial = 1017, kFlag = 1018, kDate = 1019;

HWND WaitForDialog() {
    for (int i = 0; i < 500; ++i) {
        HWND dialog = FindWindowA(nullptr, "BCPDMI Setting");
        if (dialog != nullptr && IsWindowVisible(dialog)) return dialog;
        Sleep(20);
    }
    return nullptr;
}

std::string Text(HWND dialog, int id) {
    char text[512] = "";
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

// Replaces the edit's text key by key.
void Type(HWND dialog, int id, const std::string& text) {
    HWND edit = GetDlgItem(dialog, id);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    SendMessageA(edit, WM_CHAR, VK_BACK, 0);
    for (char c : text) SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 0);
}

void Click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

void TypeAll(HWND dialog, const char* serial, const char* flag, const char* date) {
    Type(dialog, kSerial, serial);
    Type(dialog, kFlag, flag);
    Type(dialog, kDate, date);
}

TEST(DmiSetting, TypedValuesLengthChecksAndCancel) {
    struct Case {
        const char* what;
        const char* date;  // the machine's purchase date
        std::function<void(HWND)> act;
        std::vector<std::string> boxes;  // texts, in order
        const char* appended;            // nullptr: cancelled
    };
    const std::string typed = " /MODE=1 /DO0:BF0B /DO1:2027/01/01 /DSS:QV14X0009999";
    const Case cases[] = {
        {"typed at the right lengths", "2026/12/07",
         [](HWND d) {
             TypeAll(d, "QV14X0009999", "BF0B", "2027/01/01");
             Click(d, IDOK);
         },
         {}, typed.c_str()},
        {"the first wrong field is named, one at a time", "2026/12/07",
         [](HWND d) {
             TypeAll(d, "QV14X000999", "BF0BX", "2027/1/1");
             Click(d, IDOK);
             Type(d, kSerial, "QV14X0009999");
             Click(d, IDOK);
             Type(d, kFlag, "BF0B");
             Click(d, IDOK);
             Type(d, kDate, "2027/01/01");
             Click(d, IDOK);
         },
         {"The string length of System Serial must be 12.", "The string length of Bios Flag must be 4.",
          "The string length of Purchase Date must be 10."},
         typed.c_str()},
        {"a value that would split into flasher arguments is named, the dialog stays open", "2026/12/07",
         [](HWND d) {
             TypeAll(d, "QV14 X0 /C12", "BF\"B", "2027/01/01");
             Click(d, IDOK);
             Type(d, kSerial, "QV14X0009999");
             Click(d, IDOK);
             Type(d, kFlag, "BF0B");
             Click(d, IDOK);
         },
         {"System Serial must hold no blank, no double quote, no control character and no leading '/'.",
          "Bios Flag must hold no blank, no double quote, no control character and no leading '/'."},
         typed.c_str()},
        {"an empty machine value takes only an empty entry", "",
         [](HWND d) {
             TypeAll(d, "QV14X0009999", "BF0B", "x");
             Click(d, IDOK);
             Type(d, kDate, "");
             Click(d, IDOK);
         },
         {"The string length of Purchase Date must be 0."}, " /MODE=1 /DO0:BF0B /DO1: /DSS:QV14X0009999"},
        {"Cancel", "2026/12/07",
         [](HWND d) {
             TypeAll(d, "QV14X0009999", "BF0B", "2027/01/01");
             Click(d, IDCANCEL);
         },
         {"Cancel DMI Update."}, nullptr},
        {"the close box", "2026/12/07", [](HWND d) { SendMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); },
         {"Cancel DMI Update."}, nullptr},
        {"Esc", "2026/12/07", [](HWND d) { PostMessageA(GetDlgItem(d, kSerial), WM_KEYDOWN, VK_ESCAPE, 0); },
         {"Cancel DMI Update."}, nullptr},
    };
    HMODULE english =
        LoadLibraryExA((TestProgramDirectory() + "UiLangEn.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(english, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_fakeOs = FakeOs{};
        g_run = RunContext{};
        g_run.resources = english;
        g_run.runFlags = 0x1000;
        strcpy(g_run.systemSerial, "QV14X0001234");
        strcpy(g_run.biosFlag, "BF0A");
        strcpy(g_run.purchaseDate, c.date);
        MakeScratchDir(true);
        for (const char* name : {"bios.wph", "kbc.bin"}) {
            CloseHandle(CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        }
        char command[kCommandLineSize] = "SWinFlash bios.wph /P";
        g_run.progressWindow = CreateProgressStandIn();
        ClearCalls();

        std::vector<std::string> shown;
        std::thread user([&] {
            HWND dialog = WaitForDialog();
            if (dialog == nullptr) return;
            shown = {Text(dialog, kSerial), Text(dialog, kFlag), Text(dialog, kDate)};
            c.act(dialog);
        });
        bool cancelled = true;
        EXPECT_EQ(RunDmiUpdateMode(command, &cancelled), 0u);
        user.join();

        EXPECT_EQ(shown, (std::vector<std::string>{"QV14X0001234", "BF0A", c.date})) << "the machine's values";
        EXPECT_EQ(cancelled, c.appended == nullptr);
        EXPECT_EQ(std::string(command), std::string("SWinFlash bios.wph /P") + (c.appended ? c.appended : ""));
        ASSERT_EQ(g_fakeOs.boxes.size(), c.boxes.size());
        for (size_t i = 0; i < c.boxes.size(); ++i) {
            EXPECT_EQ(g_fakeOs.boxes[i].text, c.boxes[i]);
            bool length = c.boxes[i].rfind("The string length", 0) == 0;
            EXPECT_EQ(g_fakeOs.boxes[i].title, length ? "Error : String length" : c.appended ? "Error : String" : "Stop Update");
            EXPECT_EQ(g_fakeOs.boxes[i].type, static_cast<UINT>(MB_ICONINFORMATION));
        }
        EXPECT_EQ(ReadWholeFile("kbc.bin"), "<missing>") << "no MICOM update in a DMI-only run";
        EXPECT_EQ(ReadWholeFile("bios.wph") == "<missing>", c.appended == nullptr) << "deleted on Cancel only";
        EXPECT_EQ(FindWindowA(nullptr, "BCPDMI Setting"), nullptr);
        int stopped = CallIndex("StopAnimation");
        EXPECT_EQ(stopped != -1 && stopped < CallIndex("MessageBox Stop Update"), c.appended == nullptr)
            << "the animation stops before the box of a Cancel, and only then";
        DestroyWindow(g_run.progressWindow);
    }
    FreeLibrary(english);
}

}  // namespace

// A machine whose identity read found no DMI values: the flasher is not told to write empty ones.
TEST(DmiSetting, NothingReadEndsWithoutAFlasherLine) {
    g_fakeOs = FakeOs{};
    g_run = RunContext{};
    MakeScratchDir(true);
    char command[kCommandLineSize] = "SWinFlash bios.wph /P";
    bool cancelled = true;
    EXPECT_EQ(RunDmiUpdateMode(command, &cancelled), 0x8000000Bu);
    EXPECT_FALSE(cancelled);
    EXPECT_STREQ(command, "SWinFlash bios.wph /P");
    EXPECT_NE(ReadWholeFile("DebugLog.txt").find("DMI options refused : no DMI values were read from this machine"),
              std::string::npos);
}

// Where nobody can see the dialog it never comes up: a Cancel, logged, with nothing shown.
TEST(DmiSetting, NobodyToAnswerCountsAsCancel) {
    g_fakeOs = FakeOs{};
    g_run = RunContext{};
    g_run.runFlags = 0x1000;
    g_run.nobodyToAnswer = true;
    strcpy(g_run.systemSerial, "QV14X0001234");
    strcpy(g_run.biosFlag, "BF0A");
    strcpy(g_run.purchaseDate, "2026/12/07");
    MakeScratchDir(true);
    char command[kCommandLineSize] = "SWinFlash bios.wph /P";
    bool cancelled = false;
    EXPECT_EQ(RunDmiUpdateMode(command, &cancelled), 0u);
    EXPECT_TRUE(cancelled);
    EXPECT_STREQ(command, "SWinFlash bios.wph /P");
    EXPECT_TRUE(g_fakeOs.boxes.empty());
    std::string log = ReadWholeFile("DebugLog.txt");
    EXPECT_NE(log.find("DMI dialog not shown : nobody can answer here; counted as Cancel"), std::string::npos) << log;
    EXPECT_NE(log.find("Box answered OK unseen : Stop Update : Cancel DMI Update."), std::string::npos) << log;
}
