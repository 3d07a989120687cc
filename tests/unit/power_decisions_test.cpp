#include "update/power_decisions.h"

#include <gtest/gtest.h>

#include <cstring>

#include "update/lid_settings.h"

TEST(PowerDecisions, AcAndBattery) {
    struct Case {
        uint8_t ac, battery;
        uint32_t result;
    };
    const Case cases[] = {
        {1, 100, 0},          {1, 30, 0},           {1, 29, 0x80000011}, {1, 255, 0x80000011},
        {1, 101, 0x80000011}, {0, 100, 0x80000010}, {255, 80, 0x80000010}, {0, 0, 0x80000012},
        {255, 255, 0x80000012},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PowerCheckResult(c.ac, c.battery), c.result) << int(c.ac) << " " << int(c.battery);
    }
}

TEST(PowerDecisions, FreeSpaceInWholeMiB) {
    EXPECT_EQ(FreeMiB(2097152), 2u);
    EXPECT_EQ(FreeMiB(2097151), 1u);
    EXPECT_EQ(FreeMiB(0), 0u);
    EXPECT_EQ(FreeMiB(0xFFFFFFFFFFFFFFFFull), 0xFFFFFFFFu) << "never wraps to a small figure";
}

TEST(PowerDecisions, LidValuesSavedAndReadBackExactly) {
    LidSettings scheme = {true, {0x22, 0x42, 0x1b, 0x38, 0x94, 0xf6, 0xf0, 0x41, 0x96, 0x85, 0xff, 0x5b, 0xb2, 0x60, 0xdf, 0x2e}, 1, 2};
    char text[kLidSettingsTextSize];
    ASSERT_EQ(EncodeLidSettings(scheme, text, sizeof text), 64u);
    EXPECT_STREQ(text, "QuorvinLid 1 scheme 22421B3894F6F0419685FF5BB260DF2E ac 1 dc 2\r\n");
    LidSettings read = {};
    ASSERT_TRUE(DecodeLidSettings(text, strlen(text), &read));
    EXPECT_TRUE(read.scheme && read.ac == 1 && read.dc == 2 && memcmp(read.schemeId, scheme.schemeId, 16) == 0);
    EXPECT_EQ(EncodeLidSettings(scheme, text, 64), 0u) << "a cut line is never written";

    struct Case {
        const char* text;
        bool read, acts;
    };
    const Case cases[] = {
        {"QuorvinLid 1 global ac 3 dc 0\r\n", true, true},
        {"QuorvinLid 1 global ac 0 dc 0\r\n", true, false},
        {"QuorvinLid 1 global ac 8 dc 0\r\n", false, false},   // no Windows knows action 8
        {"QuorvinLid 1 global ac 01 dc 0\r\n", false, false},  // not as written
        {"QuorvinLid 1 global ac 1 dc 1\r\nx", false, false},
        {"QuorvinLid 1 global ac 1 dc 1", false, false},
        {"QuorvinLid 2 global ac 1 dc 1\r\n", false, false},
        {"QuorvinLid 1 scheme 22421B3894F6F0419685FF5BB260DF2 ac 1 dc 1\r\n", false, false},
        {"QuorvinLid 1 scheme 22421b3894F6F0419685FF5BB260DF2E ac 1 dc 1\r\n", false, false},
        {"", false, false},
    };
    for (const Case& c : cases) {
        LidSettings lid = {};
        EXPECT_EQ(DecodeLidSettings(c.text, strlen(c.text), &lid), c.read) << c.text;
        EXPECT_EQ(c.read && LidActsOnClose(lid), c.acts) << c.text;
    }
}
