#include "update/flasher_commands.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

TEST(FlasherCommands, StartingTextsAndAmiByBitness) {
    EXPECT_STREQ(kBiosFlasherCommand, "SWinFlash bios.wph /P");
    EXPECT_STREQ(kMicomFlasherCommand, "TarpexV01_10 kbc.bin /FORCE");
    EXPECT_STREQ(AmiFlasherCommand(true), "afuwinx64 bios.rom /p /b /n /e /r");
    EXPECT_STREQ(AmiFlasherCommand(false), "afuwin bios.rom /p /b /n /e /r");
}

TEST(FlasherCommands, AppendStopsAt255Characters) {
    struct Case {
        size_t before;
        size_t piece;
        bool appended;
    };
    const Case cases[] = {{0, 255, true}, {0, 256, false}, {250, 5, true}, {250, 6, false},
                          {255, 0, true}, {255, 1, false}, {21, 4, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.before << " + " << c.piece);
        char line[kCommandLineSize + 8];
        std::string before(c.before, 'a');
        memcpy(line, before.c_str(), c.before + 1);
        memset(line + kCommandLineSize, 0x5A, 8);
        std::string piece(c.piece, 'b');
        EXPECT_EQ(AppendToCommandLine(line, piece.c_str()), c.appended);
        EXPECT_EQ(std::string(line), c.appended ? before + piece : before);
        for (int i = 0; i < 8; ++i) EXPECT_EQ(line[kCommandLineSize + i], 0x5A);
    }
}

TEST(FlasherCommands, ChildLineAndPinnedExecutable) {
    struct Case {
        const char* directory;
        const char* command;
        size_t lineSize;
        const char* line;         // nullptr: refused
        const char* application;  // nullptr: refused
    };
    const Case cases[] = {
        {"C:\\Documents and Settings\\u\\Temp\\__Quorvin_Update\\", "SWinFlash bios.wph /P", 512,
         "\"C:\\Documents and Settings\\u\\Temp\\__Quorvin_Update\\SWinFlash\" bios.wph /P",
         "C:\\Documents and Settings\\u\\Temp\\__Quorvin_Update\\SWinFlash.exe"},
        {"C:\\T\\", "TarpexV01_10\tkbc.bin", 512, "\"C:\\T\\TarpexV01_10\"\tkbc.bin", "C:\\T\\TarpexV01_10.exe"},
        {"C:\\T\\", "afuwin", 512, "\"C:\\T\\afuwin\"", "C:\\T\\afuwin.exe"},
        {"C:\\T\\", "abcdefgh", 16, "\"C:\\T\\abcdefgh\"", nullptr},
        {"C:\\T\\", "abcdefghi", 16, nullptr, nullptr},
        {"C:\\T\\", " bios.wph", 512, nullptr, nullptr},
        {"C:\\T\"x\\", "afuwin", 512, nullptr, "C:\\T\"x\\afuwin.exe"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        char line[512];
        char application[16 + 260];
        EXPECT_EQ(BuildChildCommandLine(c.directory, c.command, line, c.lineSize), c.line != nullptr);
        EXPECT_STREQ(line, c.line ? c.line : "");
        size_t applicationSize = c.lineSize == 16 ? 16 : 260;
        EXPECT_EQ(BuildChildApplicationName(c.directory, c.command, application, applicationSize),
                  c.application != nullptr);
        EXPECT_STREQ(application, c.application ? c.application : "");
    }
    // Exception statuses 0xC0000000-0xCFFFFFFF are a failed update, their neighbours are not.
    const int32_t codes[] = {0, 1, -1, -120, -110, -109, -108,
                             static_cast<int32_t>(0xC0000005u), static_cast<int32_t>(0xC0000142u),
                             static_cast<int32_t>(0xC0000000u), static_cast<int32_t>(0xCFFFFFFFu),
                             static_cast<int32_t>(0xBFFFFFFFu), static_cast<int32_t>(0xD0000000u)};
    const uint32_t results[] = {0, 0, 0, 0x80000008, 0x80000013, 0x80000013, 0,
                                0x80000009, 0x80000009, 0x80000009, 0x80000009, 0, 0};
    for (size_t i = 0; i < sizeof codes / sizeof codes[0]; ++i) EXPECT_EQ(BiosFlasherResult(codes[i]), results[i]);
}

// PATH replaced whatever its letter case, TEMP and TMP too where a TEMP is given, the rest kept;
// the same for the wide block; nothing past the size.
TEST(FlasherCommands, ChildEnvironment) {
    const char source[] = "=C:=C:\\x\0Path=C:\\evil\0PATHEXT=.COM\0temp=C:\\u\0TMP=C:\\u\0\0";
    const std::wstring wideSource(source, source + sizeof source);
    const std::string wanted[] = {std::string("=C:=C:\\x\0PATHEXT=.COM\0PATH=P\0TEMP=W\0TMP=W\0\0", 43),
                                  std::string("=C:=C:\\x\0PATHEXT=.COM\0temp=C:\\u\0TMP=C:\\u\0PATH=P\0\0", 49)};
    for (int withTemp : {1, 0}) {
        const std::string& want = wanted[1 - withTemp];
        for (size_t size : {want.size(), want.size() - 1}) {
            std::vector<char> block(size);
            std::vector<wchar_t> wide(size);
            bool fits = size == want.size();
            EXPECT_EQ(BuildChildEnvironment(source, "P", withTemp ? "W" : nullptr, block.data(), size), fits);
            EXPECT_EQ(BuildChildEnvironment(wideSource.c_str(), L"P", withTemp ? L"W" : nullptr, wide.data(), size), fits);
            if (!fits) continue;
            EXPECT_EQ(std::string(block.data(), size), want);
            EXPECT_EQ(std::wstring(wide.data(), size), std::wstring(want.begin(), want.end()));
        }
    }
}
