#include "app/command_line.h"

#include <gtest/gtest.h>

TEST(SkipProgramName, LeavesTheOptionsWithoutLeadingBlanks) {
    struct Case {
        const char* commandLine;
        const char* rest;
    };
    const Case cases[] = {
        {"QuorvinUpdate.exe", ""},
        {"QuorvinUpdate.exe /BBL", "/BBL"},
        {"C:\\pkg\\QuorvinUpdate.exe \t  /BBL  /MAUTO", "/BBL  /MAUTO"},
        {"\"C:\\Program Files\\Q U\\QuorvinUpdate.exe\" /READ_BIOS", "/READ_BIOS"},
        {"\"C:\\a b\\x.exe\"/BBL", "/BBL"},
        {"\"C:\\unterminated /BBL", ""},
        {"x.exe\t-mode=3", "-mode=3"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(SkipProgramName(c.commandLine), c.rest) << c.commandLine;
    }
}
