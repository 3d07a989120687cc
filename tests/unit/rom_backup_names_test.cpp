#include "update/rom_backup_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(RomBackupNames, ModelVersionAndTime) {
    struct Case {
        const char* model;
        const char* version;
        BackupTime time;
        const char* name;  // nullptr: refused
    };
    const Case cases[] = {
        {"QN14", "05TX", {2026, 12, 8, 9, 5, 7}, "QN14_05TX_20261208-090507.rom"},
        {"..\\evil/QN_1", "0 5", {2026, 1, 31, 23, 59, 59}, "..-evil-QN-1_0-5_20260131-235959.rom"},
        {"", nullptr, {2026, 1, 1, 0, 0, 0}, "unknown_unknown_20260101-000000.rom"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", "05TX", {2026, 1, 1, 0, 0, 0}, "ABCDEFGHIJKLMNOPQRST_05TX_20260101-000000.rom"},
        {"QN14", "05TX", {2026, 13, 1, 0, 0, 0}, nullptr},
        {"QN14", "05TX", {1979, 1, 1, 0, 0, 0}, nullptr},
    };
    for (const Case& c : cases) {
        char name[kRomBackupNameSize];
        bool made = RomBackupName(c.model, c.version, c.time, name, sizeof name);
        EXPECT_EQ(made, c.name != nullptr) << c.model;
        if (made && c.name) {
            EXPECT_STREQ(name, c.name);
            EXPECT_TRUE(IsRomBackupName(name)) << name;
        }
    }
    for (const char* other : {"QN14_05TX_20261208-0905.rom", "QN14_20261208-090507.rom", "_05TX_20261208-090507.rom",
                              "QN14_05TX_20261208-090507.bin", "QN 14_05TX_20261208-090507.rom", "notes.rom",
                              "QN14_05TX_20261208_090507.rom"}) {
        EXPECT_FALSE(IsRomBackupName(other)) << other;
    }
}

TEST(RomBackupNames, NewestFewOfEachMachineWithinTheBound) {
    constexpr uint64_t kMiB = 1 << 20;
    struct Case {
        std::vector<RomBackupFile> files;
        const char* newest;
        std::vector<bool> removed;
    };
    const Case cases[] = {
        // The fourth of a machine goes, the oldest first; another machine's stay.
        {{{"QN14_05TX_20261201-000000.rom", kMiB}, {"QN14_05TX_20261202-000000.rom", kMiB},
          {"QN15_01AA_20200101-000000.rom", kMiB}, {"QN14_05TX_20261203-000000.rom", kMiB},
          {"QN14_06TX_20261204-000000.rom", kMiB}},
         "QN14_06TX_20261204-000000.rom", {true, false, false, false, false}},
        // Past the bound in all: the oldest of any machine go, the one just made never.
        {{{"A_1_20260101-000000.rom", 6 * kMiB}, {"B_1_20260102-000000.rom", 6 * kMiB},
          {"C_1_20260103-000000.rom", 6 * kMiB}, {"D_1_20250101-000000.rom", 20 * kMiB}},
         "D_1_20250101-000000.rom", {true, true, true, false}},
        {{{"A_1_20260101-000000.rom", kMiB}}, "A_1_20260101-000000.rom", {false}},
    };
    for (const Case& c : cases) {
        bool remove[8] = {};
        ChooseRomBackupsToRemove(c.files.data(), c.files.size(), c.newest, remove);
        EXPECT_EQ(std::vector<bool>(remove, remove + c.files.size()), c.removed) << c.newest;
    }
}
