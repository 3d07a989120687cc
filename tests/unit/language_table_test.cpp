#include "package/language_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(LanguageTable, EveryIdentifierAndTheFallThroughs) {
    struct Row {
        std::vector<uint16_t> ids;
        const char* code;
    };
    const Row rows[] = {
        {{0x0804}, "Chs"},
        {{0x0404, 0x0C04, 0x1004}, "Cht"},
        {{0x0407, 0x0807, 0x0C07, 0x1007, 0x1407}, "Gr"},
        {{0x040A, 0x080A, 0x0C0A, 0x100A, 0x140A, 0x180A, 0x1C0A, 0x200A, 0x240A, 0x280A,
          0x2C0A, 0x300A, 0x340A, 0x380A, 0x3C0A, 0x400A, 0x440A, 0x480A, 0x4C0A, 0x500A},
         "Sp"},
        {{0x040C, 0x080C, 0x0C0C, 0x100C, 0x140C}, "Fr"},
        {{0x0412}, "Kr"},
        {{0x0416, 0x0816}, "Po"},
        {{0x0419}, "Ru"},
        // Matched on the whole identifier: other sublanguages fall to English.
        {{0x0409, 0x0411, 0x0413, 0x1404, 0x180C, 0x0000, 0xFFFF, 0x0012, 0x0019, 0x540A}, "En"},
    };
    for (const Row& row : rows) {
        for (uint16_t id : row.ids) EXPECT_STREQ(LanguageCode(id), row.code) << std::hex << id;
    }
}

TEST(LanguageTable, DllNames) {
    char name[32];
    ASSERT_TRUE(LanguageDllName("Kr", false, name, sizeof name));
    EXPECT_STREQ(name, "UiLangKr.dll");
    ASSERT_TRUE(LanguageDllName("Kr", true, name, sizeof name));
    EXPECT_STREQ(name, "UiLangKr_ami.dll");
    ASSERT_TRUE(LanguageDllName("Chs", true, name, 18));
    EXPECT_STREQ(name, "UiLangChs_ami.dll");
    EXPECT_FALSE(LanguageDllName("Chs", true, name, 17)) << "a name that would be cut";
}
