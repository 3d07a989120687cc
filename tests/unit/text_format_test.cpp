#include "core/text_format.h"

#include <gtest/gtest.h>

TEST(TextFormat, ALanguageTextServesAsAFormatOnlyWithOurConversions) {
    struct Case {
        const char* ours;
        const char* theirs;
        bool same;
    };
    const Case cases[] = {
        {"Model : %s\nPart : %s", "Modell: %s\nTeil: %s", true},
        {"%s", "%-20.10s", false},              // a width or precision the formatter must honour
        {"%-20.10s", "%-20.10s", true},
        {"%ld", "%.2147483647ld", false},
        {"%s", "%#s", false},
        {"100%% done", "100 %% fertig", true},  // "%%" takes none
        {"no conversions", "plain", true},
        {"%s", "%n", false},
        {"%s", "%s%s", false},
        {"%s %s", "%s", false},
        {"%d", "%s", false},
        {"%d", "%ld", false},
        {"%s", "%*s", false},                   // a starred width takes an argument
        {"%s", "%.*s", false},
        {"%s %d", "%2$d %1$s", false},          // positional arguments are never ours
        {"plain", "ends in %", false},
        {"100%% done", "100% done", false},     // "% d" is a conversion
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.ours) + " | " + c.theirs);
        EXPECT_EQ(SameConversions(c.ours, c.theirs), c.same);
        EXPECT_EQ(SameConversions(c.theirs, c.ours), c.same);
    }
}
