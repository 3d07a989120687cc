// The progress window as a person sees it, run by ui_probe.exe in a process of its own.
#include "ui/progress_window.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <regex>
#include <string>

#include "tests/win/process_runner.h"
#include "tests/win/scratch.h"
#include "tools/qpack/package_writer.h"

namespace {

// ui_probe.exe with a one-file archive behind it, so that its window can unpack.
std::string PackedProbe() {
    std::string source = MakeScratchDir(false);
    std::ofstream(source + "\\notes.txt") << "unpacked by the progress window";
    std::string package = source + "\\ui_probe.exe";
    EXPECT_EQ(BuildPackage(TestProgramDirectory() + "ui_probe.exe", package, 0x8,
                           {source + "\\notes.txt"}),
              "");
    return package;
}

ProcessResult RunProbe(const std::string& program, const char* arguments, std::string* directory) {
    *directory = MakeScratchDir(false);
    return RunProcess("\"" + program + "\" " + arguments, *directory);
}

TEST(ProgressWindow, TextsOfAnUpdateAndOfADmiOnlyPackage) {
    std::string probe = PackedProbe();
    const char* const shared =
        "1012 shown \"Please do not interrupt the application before it\ncompletes following tasks :\"\n"
        "1013 shown \"File Extraction\"\n";
    const char* const versions =
        "1016 hidden \"Current BIOS Version : \"\n"
        "1017 hidden \"New BIOS Version      : \"\n"
        "1018 hidden \"\"\n"
        "1019 hidden \"\"\n"
        "1010 shown \"\"\n"
        "1010 shown \"Preparing BIOS update.\"\n"
        "mark set\n"
        "arrow deleted\n";
    struct Case {
        const char* flags;
        const char* steps;
    };
    for (const Case& c : {Case{"0x8", "1014 shown \"BIOS Update\"\n1015 shown \"MICOM Update\"\n"},
                          Case{"0x1000", "1014 shown \"Update DMI information.\"\n1015 shown \"\"\n"}}) {
        SCOPED_TRACE(c.flags);
        std::string directory;
        ProcessResult run = RunProbe(probe, (std::string(c.flags) + " texts").c_str(), &directory);
        EXPECT_EQ(run.out, std::string("unpacked 1\n") + shared + c.steps + versions);
        EXPECT_EQ(ReadWholeFile(directory + "\\notes.txt"), "unpacked by the progress window");
    }
}

TEST(ProgressWindow, FailedUnpackingLeavesTheWindowUpWithoutAnimation) {
    std::string directory;
    ProcessResult run = RunProbe(TestProgramDirectory() + "ui_probe.exe", "0 esc", &directory);
    EXPECT_EQ(run.out.rfind("unpacked 0\nframes \nopen while busy 1\n", 0), 0u) << run.out;
}

TEST(ProgressWindow, EscWhileBusyStopsTheAnimationAndClosesOnlyWhenIdle) {
    std::string directory;
    ProcessResult run = RunProbe(PackedProbe(), "0x8 esc", &directory);
    std::smatch frames;
    ASSERT_TRUE(std::regex_match(run.out, frames, std::regex("unpacked 1\nframes ([0-7]*)\nopen while busy 1\n"
                                                             "frames ([0-7]*)\nthread ended 1\n")))
        << run.out;
    // Each frame seen follows the one before round the cycle: nine of them show all eight.
    std::string busy = frames[1];
    EXPECT_GE(busy.size(), 9u) << busy;
    for (size_t i = 1; i < busy.size(); ++i) EXPECT_EQ(busy[i] - '0', (busy[i - 1] - '0' + 1) % 8) << busy;
    EXPECT_LE(frames[2].length(), 1) << "still animating: " << frames[2];
}

TEST(ProgressWindow, MessagesOfAnotherProcessCloseNoWindow) {
    std::string directory;
    ProcessResult run = RunProbe(PackedProbe(), "0x8 watch", &directory);
    EXPECT_EQ(run.out, "unpacked 1\nposted 1 flasher closed 0\n");
    std::string log = ReadWholeFile(directory + "\\DebugLog.txt");
    EXPECT_EQ(log.find("Find Window"), std::string::npos) << log;
}

TEST(ProgressWindow, NoDialogEndsTheThreadInsteadOfWaitingForEver) {
    std::string directory;
    ProcessResult run = RunProbe(PackedProbe(), "0x8 nodialog", &directory);
    EXPECT_EQ(run.out, "no window\n");
}

TEST(BlitWithColorKey, KeyColouredPixelsLeaveTheBackground) {
    HDC screen = GetDC(nullptr);
    HDC target = CreateCompatibleDC(screen);
    HBITMAP canvas = CreateCompatibleBitmap(screen, 8, 8);
    HGDIOBJ old = SelectObject(target, canvas);
    HBRUSH green = CreateSolidBrush(RGB(0, 128, 0));
    RECT all = {0, 0, 8, 8};
    FillRect(target, &all, green);

    // A 4 x 4 picture: a pure blue ring around a red and a white pixel.
    HDC source = CreateCompatibleDC(screen);
    HBITMAP picture = CreateCompatibleBitmap(screen, 4, 4);
    HGDIOBJ sourceOld = SelectObject(source, picture);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) SetPixel(source, x, y, RGB(0, 0, 255));
    }
    SetPixel(source, 1, 1, RGB(255, 0, 0));
    SetPixel(source, 2, 2, RGB(255, 255, 255));
    SelectObject(source, sourceOld);

    BlitWithColorKey(target, picture, 2, 3, RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(target, 3, 4), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(target, 4, 5), RGB(255, 255, 255));
    for (POINT p : {POINT{2, 3}, POINT{5, 3}, POINT{2, 6}, POINT{5, 6}, POINT{4, 4}, POINT{0, 0}}) {
        EXPECT_EQ(GetPixel(target, p.x, p.y), RGB(0, 128, 0)) << p.x << "," << p.y;
    }
    // The picture itself is left as it was.
    sourceOld = SelectObject(source, picture);
    EXPECT_EQ(GetPixel(source, 0, 0), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(source, 1, 1), RGB(255, 0, 0));

    SelectObject(source, sourceOld);
    DeleteObject(picture);
    DeleteDC(source);
    DeleteObject(green);
    SelectObject(target, old);
    DeleteObject(canvas);
    DeleteDC(target);
    ReleaseDC(nullptr, screen);
}

}  // namespace
