#include "core/result_codes.h"

#include <gtest/gtest.h>

#include <string>

#include "core/exit_summary.h"
#include "core/unattended.h"

TEST(ResultCodes, MessageAndCleanUpOfEveryCode) {
    struct Row {
        uint32_t code;
        int title;  // 0: no box
        int text;
        bool cleanUp;
        bool identity;
        const char* fixedTitle;
    };
    const Row rows[] = {
        {0x00000000, 0, 0, false, false, nullptr},
        {0x80000001, 0, 0, false, false, nullptr},
        {0x80000002, 42, 27, false, false, nullptr},
        {0x80000003, 43, 9, false, false, nullptr},
        {0x80000004, 44, 23, true, false, nullptr},
        {0x80000005, 45, 19, true, false, nullptr},
        {0x80000006, 0, 0, true, false, nullptr},
        {0x80000007, 46, 21, true, true, nullptr},
        {0x80000008, 46, 21, true, true, nullptr},
        {0x80000009, 47, 28, true, false, nullptr},
        {0x8000000a, 48, 29, true, false, nullptr},
        {0x8000000b, 49, 30, true, false, nullptr},
        {0x8000000c, 50, 31, true, false, nullptr},
        {0x8000000d, 51, 32, true, false, nullptr},
        {0x8000000e, 54, 25, true, false, nullptr},
        {0x8000000f, 52, 33, false, false, nullptr},
        {0x80000010, 53, 34, false, false, "Fail : Power"},
        {0x80000011, 53, 35, false, false, nullptr},
        {0x80000012, 53, 37, false, false, nullptr},
        {0x80000013, 55, 36, true, false, nullptr},
        {0x80000014, 0, 0, true, false, nullptr},
        {0xFFFFFFFF, 0, 0, true, false, nullptr},
        {0x00000001, 0, 0, false, false, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << row.code);
        EXPECT_EQ(ResultNeedsCleanUp(row.code), row.cleanUp);
        const ResultMessage* message = FindResultMessage(row.code);
        if (row.title == 0) {
            EXPECT_EQ(message, nullptr);
            continue;
        }
        ASSERT_NE(message, nullptr);
        EXPECT_EQ(message->titleId, row.title);
        EXPECT_EQ(message->textId, row.text);
        EXPECT_EQ(message->identityArguments, row.identity);
        if (row.fixedTitle) {
            EXPECT_STREQ(message->fixedTitle, row.fixedTitle);
        } else {
            EXPECT_EQ(message->fixedTitle, nullptr);
        }
    }
}

TEST(ResultCodes, LastLineOfTheLog) {
    const struct {
        uint32_t code;
        const char* ending;
        const char* line;
    } rows[] = {
        {0, "update complete, powering off", "End : exit 0x00000000 OK (update complete, powering off) : nothing to do"},
        {0x8000000E, "", "End : exit 0x8000000E INVALID_OPTION : give up: correct the command line, or copy the package afresh"},
        {0xFFFFFFFF, "", "End : exit 0xFFFFFFFF DRIVER_MISSING : install the maker's access driver (KTV), then retry"},
        {0x80000006, "", "End : exit 0x80000006 UNKNOWN : escalate it with its logs"},
    };
    for (const auto& row : rows) {
        char line[64];  // shorter than some: cut, never overrun
        FormatExitLine(row.code, row.ending, line, sizeof line);
        EXPECT_EQ(std::string(line), std::string(row.line).substr(0, sizeof line - 1));
    }
}

TEST(ResultCodes, NobodyToAnswer) {
    const struct {
        SessionFacts facts;
        bool nobody;
    } rows[] = {
        {{10, true, 0, true, true}, true},    // a service's session on 10
        {{6, true, 0, true, true}, true},     // and on Vista
        {{5, true, 0, true, true}, false},    // XP's console session
        {{10, true, 1, true, true}, false},   // a user's desktop
        {{5, true, 1, true, false}, true},    // a window station of its own
        {{10, false, 0, false, true}, false}, // nothing readable: boxes as before
        {{0, false, 0, true, false}, true},   // 98 with a station that says so
    };
    for (const auto& row : rows) {
        EXPECT_EQ(WhyNobodyCanAnswer(row.facts) != nullptr, row.nobody)
            << row.facts.ntMajor << " session " << row.facts.session << " visible " << row.facts.stationVisible;
    }
}
