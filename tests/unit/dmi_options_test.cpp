#include "update/dmi_options.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
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
        const char* start;  // what the options put on the line before
        const char* flag;
        size_t pad;         // characters added to both serials
        bool asked;         // the dialog is shown
        bool accepted;
        const char* line;   // after "SWinFlash bios.wph /P"; serials padded as above
    };
    const char* const current = " /DO0:BF0A /DO1:20261207 /DSS:QV14X0001234";
    const char* const typed = " /MODE=1 /DO0:BF0B /DO1:20270101 /DSS:QV14X0009999";
    const std::string ordinary = std::string(" /MODE=3") + current;
    const std::string both = ordinary + typed, twice = std::string(" /MODE=1") + typed;
    const Case cases[] = {
        {"flag C, no /MODE", 0, "", "BF0C", 0, false, true, ordinary.c_str()},
        {"flag A", 0, "", "BF0A", 0, false, true, ""},
        {"flag B", 0, "", "BF0B", 0, false, true, ""},
        {"/MODE=1, flag C", 0x800, " /MODE=1", "BF0C", 0, false, true, " /MODE=1"},
        {"/MODE=3, flag A", 0x200, " /MODE=3", "BF0A", 0, false, true, ordinary.c_str()},
        {"DMI-only with /MODE=3", 0x1200, " /MODE=3", "BF0C", 0, false, true, ordinary.c_str()},
        {"DMI-only confirmed, flag A", 0x1000, "", "BF0A", 0, true, true, typed},
        {"DMI-only confirmed, flag C", 0x1000, "", "BF0C", 0, true, true, both.c_str()},
        {"DMI-only with /MODE=1: twice", 0x1800, " /MODE=1", "BF0C", 0, true, true, twice.c_str()},
        {"current values that just fit", 0, "", "BF0C", 184, false, true, ordinary.c_str()},
        {"one character more", 0, "", "BF0C", 185, false, false, ""},
        {"typed values that just fit", 0x1000, "", "BF0A", 184, true, true, typed},
        {"one character more", 0x1000, "", "BF0A", 185, true, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string pad(c.pad, 'x');
        const std::string serial = "QV14X0001234" + pad, typedSerial = "QV14X0009999" + pad;
        char line[kCommandLineSize];
        snprintf(line, sizeof line, "SWinFlash bios.wph /P%s", c.start);
        bool accepted = AppendCurrentDmiOptions(line, c.flags, {c.flag, "20261207", serial.c_str()}, "05TX") ==
                        DmiAppend::kAppended;
        bool asked = accepted && DmiDialogWanted(c.flags);
        if (asked) accepted = AppendTypedDmiOptions(line, {"BF0B", "20270101", typedSerial.c_str()});
        EXPECT_EQ(asked, c.asked);
        EXPECT_EQ(accepted, c.accepted);
        std::string expected = std::string("SWinFlash bios.wph /P") + (c.accepted ? c.line : c.start);
        for (const char* s : {"QV14X0001234", "QV14X0009999"}) {
            size_t at = expected.find(s);
            if (at != std::string::npos) expected.insert(at + strlen(s), pad);
        }
        EXPECT_EQ(std::string(line), expected);
    }
}

// Values the identity read found nowhere would be written into the new BIOS as empty texts; a
// value with a blank, a double quote, a control character or a leading '/' would reach the flasher as several
// arguments. Neither is handed on.
TEST(DmiOptions, NothingReadIsNeverHandedOn) {
    struct Case {
        uint32_t flags;
        const char* flag;
        const char* serial;
        DmiAppend result;
    };
    const Case cases[] = {
        {0, "", "", DmiAppend::kNothingRead},         {0x200, "", "", DmiAppend::kNothingRead},
        {0x1200, "", "", DmiAppend::kNothingRead},    {0x1800, "", "", DmiAppend::kNothingRead},
        {0x1800, "", "SN1", DmiAppend::kAppended},    // "/MODE=1" appends nothing itself
        {0, "", "SN1", DmiAppend::kAppended},         {0, "BF0C", "", DmiAppend::kAppended},
        {0, "DelA System", "SN1", DmiAppend::kAppended},  // kind 'A': nothing appended
        {0, "DelC System", "SN1", DmiAppend::kUnsafe},    {0, "BF0C", "QV14 X0 /C", DmiAppend::kUnsafe},
        {0, "BF0C", "/C", DmiAppend::kUnsafe},            {0, "BF0C", "QV\t14", DmiAppend::kUnsafe},
        {0x200, "BF0A", "QV 14", DmiAppend::kUnsafe},     {0, "BF0C", "QV14/X0", DmiAppend::kAppended},
        {0, "BF\"C", "SN1", DmiAppend::kUnsafe},           {0x200, "BF0A", "QV14\"", DmiAppend::kUnsafe},
    };
    for (const Case& c : cases) {
        char line[kCommandLineSize] = "SWinFlash bios.wph /P";
        EXPECT_EQ(AppendCurrentDmiOptions(line, c.flags, {c.flag, "", c.serial}, "05TX"), c.result) << c.flags;
        if (c.result != DmiAppend::kAppended) {
            EXPECT_STREQ(line, "SWinFlash bios.wph /P");
        }
    }
}
