#include "core/debug_log.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "core/run_context.h"
#include "tests/win/scratch.h"

namespace {

HANDLE OpenLog(DWORD access, DWORD share) {
    return CreateFileA("DebugLog.txt", access, share, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST(LogLine, AppendsLinesAndKeepsWhatWasThere) {
    std::string dir = MakeScratchDir(true);
    LogLine("first %d", 1);
    LogLine("%s", "second");
    LogLine("%s", "");
    EXPECT_EQ(ReadWholeFile(dir + "\\DebugLog.txt"), "first 1\r\nsecond\r\n\r\n");
}

// Before the working place, the folder the program was started in keeps the lines, whatever
// became current since (the system directory, where the DLL search cannot be told).
TEST(LogLine, BeforeThePlaceIntoTheFolderItWasStartedIn) {
    std::string start = MakeScratchDir(false);
    snprintf(g_run.startDirectory, sizeof g_run.startDirectory, "%s", start.c_str());
    std::string current = MakeScratchDir(true);
    LogLine("early");
    g_run.startDirectory[0] = '\0';
    EXPECT_EQ(ReadWholeFile(start + "\\DebugLog.txt"), "early\r\n");
    EXPECT_EQ(ReadWholeFile(current + "\\DebugLog.txt"), "<missing>");
}

TEST(LogLine, EmptyFormatStillWritesTheLineEnd) {
    std::string dir = MakeScratchDir(true);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-zero-length"
    LogLine("");
#pragma GCC diagnostic pop
    EXPECT_EQ(ReadWholeFile(dir + "\\DebugLog.txt"), "\r\n");
}

TEST(LogLine, CutsLongLinesAt1023Characters) {
    std::string dir = MakeScratchDir(true);
    std::string longText(3000, 'x');
    LogLine("%s", longText.c_str());
    LogLine("%s", std::string(1023, 'y').c_str());
    EXPECT_EQ(ReadWholeFile(dir + "\\DebugLog.txt"),
              std::string(1023, 'x') + "\r\n" + std::string(1023, 'y') + "\r\n");
}

TEST(LogLine, SharesTheFileWithReadersOnly) {
    std::string dir = MakeScratchDir(true);
    LogLine("one");

    // A reader that lets others write: the program goes on logging and the reader sees it.
    HANDLE reader = OpenLog(GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    LogLine("two");
    char buffer[64] = {};
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(reader, buffer, sizeof buffer - 1, &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), "one\r\ntwo\r\n");
    CloseHandle(reader);

    // A second writer holding the file: the line is dropped, nothing fails.
    HANDLE writer = OpenLog(GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    LogLine("dropped while another writer holds it");
    CloseHandle(writer);

    // A reader that forbids writing: dropped too.
    HANDLE exclusiveReader = OpenLog(GENERIC_READ, FILE_SHARE_READ);
    ASSERT_NE(exclusiveReader, INVALID_HANDLE_VALUE);
    LogLine("dropped while writing is not shared");
    CloseHandle(exclusiveReader);

    LogLine("three");
    EXPECT_EQ(ReadWholeFile(dir + "\\DebugLog.txt"), "one\r\ntwo\r\nthree\r\n");
}

TEST(LogLine, DropsTheLineWhenTheLogCannotBeOpened) {
    std::string dir = MakeScratchDir(true);
    ASSERT_TRUE(CreateDirectoryA("DebugLog.txt", nullptr));
    LogLine("nowhere to go");
    EXPECT_TRUE(IsDirectory("DebugLog.txt"));
}

}  // namespace
