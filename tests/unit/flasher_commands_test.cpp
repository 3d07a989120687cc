#include "update/flasher_commands.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

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
