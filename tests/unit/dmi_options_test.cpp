#include "update/dmi_options.h"

#include <gtest/gtest.h>

#include <string>

#include "update/flasher_commands.h"

TEST(DmiOptions, FlagWithItsKindLetter) {
    struct Case {
        const char* flag;
        const char* version;
        const char* handed;
    };
    const Case cases[] = {
        {"BF0C", "05TX", "BF0A"}, {"BF0C", "05TE", "BF0B"}, {"BF0B", "05TX", "BF0B"},
        {"XYZA1234", "05TE", "XYZA1234"}, {"BF", "05TE", "BF"}, {"", "05TE", ""}, {"BF01", "05", "BF0A"},
    };
    for (const Case& c : cases) {
        char out[32];
        DmiFlagWithKind(c.flag, c.version, out, sizeof out);
        EXPECT_STREQ(out, c.handed) << c.flag << " " << c.version;
    }
}

TEST(DmiOptions, WhatTheFlasherIsTold) {
    struct Case {
        const char* what;
        uint32_t flags;
        const char* flag;
        const char* appended;  // nullptr: refused
    };
    const std::string full = " /MODE=3 /DO0:BF0A /DO1:20261207 /DSS:QV14X0001234";
    const std::string nearlyFull(255 - 21 - full.size(), 'x');
    const Case cases[] = {
        {"flag C, no /MODE", 0, "BF0C", " /MODE=3 /DO0:BF0A /DO1:20261207 /DSS:QV14X0001234"},
        {"flag A", 0, "BF0A", ""},
        {"flag B", 0, "BF0B", ""},
        {"/MODE=1", 0x800, "BF0C", ""},
        {"/MODE=3 already on the line, flag A", 0x200, "BF0A", " /DO0:BF0A /DO1:20261207 /DSS:QV14X0001234"},
        {"DMI-only with /MODE=3", 0x1200, "BF0C", " /DO0:BF0A /DO1:20261207 /DSS:QV14X0001234"},
        {"a serial that just fits", 0, "BF0C", ""},
        {"one character more", 0, "BF0C", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string serial = "QV14X0001234";
        std::string appended = c.appended ? c.appended : "";
        if (std::string(c.what).find("fits") != std::string::npos) {
            serial += nearlyFull;
            appended = " /MODE=3 /DO0:BF0A /DO1:20261207 /DSS:" + serial;
        }
        if (c.appended == nullptr) serial += nearlyFull + "y";
        char line[kCommandLineSize] = "SWinFlash bios.wph /P";
        EXPECT_EQ(AppendCurrentDmiOptions(line, c.flags, {c.flag, "20261207", serial.c_str()}, "05TX"),
                  c.appended != nullptr);
        EXPECT_EQ(std::string(line), "SWinFlash bios.wph /P" + appended);
    }
}
