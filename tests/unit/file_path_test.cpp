#include "core/file_path.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(FilePath, NameBehindTheReportedDirectory) {
    const std::string deep = "C:\\" + std::string(243, 'd');  // 246 characters
    struct Case {
        std::string directory;
        uint32_t reported;  // what GetCurrentDirectoryA returned for it
        const char* name;
        std::string path;  // empty: refused
    };
    const Case cases[] = {
        {"C:\\TEMP", 7, "UiLangEn.dll", "C:\\TEMP\\UiLangEn.dll"},
        {deep, 246, "UiLangEn.dll", deep + "\\UiLangEn.dll"},  // 259 characters and the NUL
        {deep, 246, "UiLangEn_ami.dll", ""},
        {"", 0, "UiLangEn.dll", ""},                // the call failed
        {"", 260, "UiLangEn.dll", ""},              // the size a 259-character directory needs
        {"", 400, "UiLangEn.dll", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reported);
        struct {
            char path[260];
            char guard[300];
        } buffer;
        memset(&buffer, '#', sizeof buffer);
        memcpy(buffer.path, c.directory.c_str(), c.directory.size());
        bool fits = AppendFileName(buffer.path, sizeof buffer.path, c.reported, c.name);
        EXPECT_EQ(fits, !c.path.empty());
        if (fits) {
            EXPECT_EQ(std::string(buffer.path), c.path);
        }
        EXPECT_EQ(std::string(buffer.guard, sizeof buffer.guard), std::string(sizeof buffer.guard, '#'))
            << "nothing is written past the buffer";
    }
}
