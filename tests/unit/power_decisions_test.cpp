#include "update/power_decisions.h"

#include <gtest/gtest.h>

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
