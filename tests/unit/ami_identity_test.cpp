#include "update/ami_identity.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/ami_options.h"
#include "core/name_list.h"
#include "update/flasher_commands.h"

namespace {

// A "$FID" block: part number at +9, build-number text at +52.
std::string Fid(const std::string& part, const std::string& build) {
    std::string block = "$FID\x01?" + std::string(3, '.') + part;
    block += std::string(52 - block.size(), '.');
    return block + build;
}

TEST(AmiIdentity, FidBlockScans) {
    struct Case {
        const char* what;
        std::string bytes;
        size_t size;  // bytes given; those after them are what a read past the end would take
        bool found;
        int32_t build;
        const char* part;  // nullptr: not taken
    };
    const std::string block = Fid("P09", "00000250");
    const Case cases[] = {
        {"block at 0", block + "....", 64, true, 250, "P09"},
        {"after other bytes, a second ignored", "..$FID." + block + Fid("P10", "251"), 7 + 60 + 55, true,
         250, "P09"},
        {"build number cut by the end", "xx" + Fid("P09", "00250777"), 2 + 57, true, 250, "P09"},
        {"build number past the end", block, 52, true, 0, "P09"},
        {"part number cut by the end", block, 11, true, 0, nullptr},
        {"'?' would lie past the end", "....$FID\x01?", 9, false, 0, nullptr},
        {"no '?'", "$FID\x01!" + block.substr(6), 60, false, 0, nullptr},
        {"case counts", "$fid\x01?" + block.substr(6), 60, false, 0, nullptr},
        {"empty", "$FID\x01?", 0, false, 0, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_LE(c.size, c.bytes.size());
        FidBlock fid = ScanFidBlock(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.size);
        EXPECT_EQ(fid.found, c.found);
        EXPECT_EQ(fid.buildNumber, c.build);
        EXPECT_EQ(fid.hasPartNumber, c.part != nullptr);
        EXPECT_STREQ(fid.partNumber, c.part ? c.part : "");
    }
}

TEST(AmiIdentity, BuildNumberText) {
    struct Case {
        std::string text;
        int32_t value;
    };
    const Case cases[] = {
        {"00000250", 250}, {"  \t250x1", 250}, {"+250", 250}, {"-12", -12}, {"12 34", 12},
        {"AMI", 0}, {"   ", 0}, {"-", 0}, {"", 0}, {"123456789", 12345678}, {std::string("12\0" "34", 5), 12},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseBuildNumber(c.text.data(), c.text.size()), c.value) << c.text;
    }
}

TEST(AmiIdentity, ImageChosenByTheVersionKey) {
    struct Case {
        const char* version;
        std::vector<const char*> names;
        int chosen;
    };
    const Case cases[] = {
        {"08QN", {"AB12.rom", "abqn.rom", "QN08.rom"}, 1},  // digit first: characters 3 and 4
        {"QN08", {"AB08.rom", "abqn.rom", "xxQn.rom"}, 1},  // letter first: characters 1 and 2
        {"Q", {"ABQ.rom", "AB.Q.rom"}, -1},
        {"", {"ABCD.rom"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        NameList list = {};
        for (const char* name : c.names) AddListedName(&list, name);
        char key[5];
        AmiVersionKey(c.version, key);
        EXPECT_EQ(ChooseListedName(list, key), c.chosen);
    }
    EXPECT_TRUE(SamePartNumber("P09", "P09"));
    EXPECT_FALSE(SamePartNumber("P09", "p09"));
    EXPECT_FALSE(SamePartNumber("P09", ""));
}

TEST(AmiIdentity, OnlyTheMicomOptionsAreAccepted) {
    struct Case {
        const char* options;
        bool wow64;
        uint32_t result;
    };
    const Case cases[] = {
        {"", false, 0}, {"/mforce -MAUTO\t/MSerial  ", true, 0}, {"/SKIP_CHECK_POWER", false, 0x8000000e},
        {"/READ_BIOS", false, 0x8000000e}, {"/MFORCEX", false, 0x8000000e}, {"MFORCE", false, 0x8000000e},
        {"/MAUTO /BBL", true, 0x8000000e}, {"/", false, 0x8000000e},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        char command[kCommandLineSize] = "left over";
        EXPECT_EQ(BuildAmiCommandLine(command, c.options, c.wow64), c.result);
        EXPECT_STREQ(command, c.wow64 ? "afuwinx64 bios.rom /p /b /n /e /r" : "afuwin bios.rom /p /b /n /e /r");
    }
}

}  // namespace
