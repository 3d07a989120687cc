#include "core/name_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(NameList, ChoiceByVersionCharacters3And4) {
    const std::vector<std::string> ten(10, "QV11A.bin");
    std::vector<std::string> eleven = ten;
    eleven.push_back("QV35A.bin");
    struct Case {
        const char* what;
        std::vector<std::string> names;
        const char* version;
        int chosen;
    };
    const Case cases[] = {
        {"one name, not compared", {"ZZ99.wph"}, "R135", 0},
        {"one name, empty version", {"ZZ99.wph"}, "", 0},
        {"first match, lower-case name", {"NPAAXA.wph", "npxa1.wph", "NPXA2.wph"}, "01XA", 1},
        {"upper-case name, lower-case version", {"KB01.bin", "KBCD.bin"}, "01cd", 1},
        {"five-character version", {"NP11.wph", "NP35.wph"}, "R135A", 1},
        {"none matches", {"NP11.wph", "NP12.wph"}, "R135", -1},
        {"short version", {"AB", "ABC"}, "AB", -1},
        {"empty version", {"NP35.wph", "NP36.wph"}, "", -1},
        {"no names", {}, "R135", -1},
        {"eleventh is never listed", eleven, "R135", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NameList list = {};
        size_t listed = 0;
        for (const std::string& name : c.names) listed += AddListedName(&list, name.c_str());
        EXPECT_EQ(listed, std::min(c.names.size(), kNameSlots));
        EXPECT_EQ(list.count, listed);
        EXPECT_EQ(ChooseListedName(list, c.version), c.chosen);
    }
}

TEST(NameList, RefusesNamesThatDoNotFitASlot) {
    NameList list = {};
    EXPECT_FALSE(AddListedName(&list, std::string(256, 'a').c_str()));
    EXPECT_FALSE(AddListedName(&list, ""));
    EXPECT_TRUE(AddListedName(&list, std::string(255, 'a').c_str()));
    EXPECT_EQ(list.count, 1);
    EXPECT_EQ(std::string(list.slots[0]), std::string(255, 'a'));
}
