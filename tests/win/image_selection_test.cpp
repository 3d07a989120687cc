// Image and MICOM file selection, the flash-area edit and the new identity on real files.
#include "update/image_selection.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "core/run_context.h"
#include "tests/win/scratch.h"
#include "update/new_image_identity.h"

namespace {

void Reset(const std::vector<std::string>& files) {
    g_run = RunContext{};
    MakeScratchDir(true);
    for (const std::string& name : files) {
        std::ofstream(name, std::ios::binary) << "content of " + name;
    }
    strcpy(g_run.partNumber, "R13");
    strcpy(g_run.modelNumber, "NP35");
    strcpy(g_run.biosVersion, "R135");
}

TEST(ImageSelection, FindSelectCopyAndLog) {
    Reset({"NP11XA01.wph", "np35xa01.wph", "KB11.bin", "kb35.bin", "KB36.bin", "notes.txt"});
    EXPECT_EQ(FindBiosImages(), 0u);
    EXPECT_EQ(g_run.images.count, 2);
    EXPECT_EQ(FindMicomFiles(), 0u);
    ASSERT_EQ(g_run.micomFiles.count, 3);
    EXPECT_EQ(SelectBiosImage(), 0u);

    EXPECT_EQ(ReadWholeFile("bios.wph"), "content of np35xa01.wph");
    EXPECT_EQ(ReadWholeFile("kbc.bin"), "content of kb35.bin");
    std::string log;
    for (const char* name : g_run.micomFiles.slots) {
        if (*name) log += "Micom File Found : " + std::string(name) + "\r\n";
    }
    EXPECT_EQ(ReadWholeFile("DebugLog.txt"),
              log + "Total Micom File Number : 3\r\n*** Old Bios Info ***\r\n"
                    "Bios Part Number : R13\r\nBios Model Number : NP35\r\n"
                    "Bios Part Version : R135\r\nBios File : np35xa01.wph\r\n"
                    "Micom File : kb35.bin\r\n");
}

TEST(ImageSelection, FailingAndSkippedSelections) {
    struct Case {
        std::vector<std::string> files;
        uint32_t flags;
        uint32_t result;
        const char* bios;  // nullptr: held, not looked at
        const char* kbc;
        const char* held = nullptr;  // a copy's target another program holds: the copy fails
    };
    const Case cases[] = {
        {{"NP11.wph", "NP12.wph", "KB35.bin"}, 0, 0x8000000b, "<missing>", "<missing>"},
        {{"NP11.wph", "KB11.bin", "KB12.bin"}, 0, 0x8000000c, "content of NP11.wph", "<missing>"},
        {{"NP11.wph", "KB11.bin"}, 0x10, 0, "content of NP11.wph", "<missing>"},
        {{"NP11.wph", "KB11.bin"}, 0, 0, "content of NP11.wph", "content of KB11.bin"},
        {{"NP11.wph", "KB11.bin"}, 0, 0x8000000b, nullptr, "<missing>", "bios.wph"},
        {{"NP11.wph", "KB11.bin"}, 0, 0x8000000c, "content of NP11.wph", nullptr, "kbc.bin"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.files.size() << " files, flags " << c.flags);
        Reset(c.files);
        g_run.runFlags = c.flags;
        FindBiosImages();
        FindMicomFiles();
        HANDLE held = c.held ? CreateFileA(c.held, GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr)
                             : INVALID_HANDLE_VALUE;
        EXPECT_EQ(SelectBiosImage(), c.result);
        if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
        if (c.bios) EXPECT_EQ(ReadWholeFile("bios.wph"), c.bios);
        if (c.kbc) EXPECT_EQ(ReadWholeFile("kbc.bin"), c.kbc);
        EXPECT_EQ(ReadWholeFile("DebugLog.txt").find(" File : "), std::string::npos)
            << "a single file is taken without a word";
    }
}

void Put(std::string& bytes, size_t at, const std::string& piece) {
    bytes.replace(at, piece.size(), piece);
}

std::string Entry(uint32_t length, uint32_t offset, uint16_t attribute) {
    std::string entry(16, '\0');
    uint32_t words[3] = {length, offset, 0xFFF00000 + offset};
    memcpy(&entry[0], words, sizeof words);
    memcpy(&entry[14], &attribute, 2);
    return entry;
}

TEST(ImageSelection, DmiOnlyRunKeepsTheImagesDmiBlock) {
    Reset({});
    EXPECT_EQ(PrepareFlashAreas(), 0) << "no bios.wph";
    // 576 KiB: the table from 0x80000, the DMI block's index (9 - 8) in "BCPSYS".
    std::string image(0x90000, '\xA5');
    Put(image, 0x100, "BCPSYS" + std::string(0x63, 'x') + std::string("\x00\x90", 2));
    Put(image, 0x80000, "ZQDS");
    Put(image, 0x80010, "ZFLPF");
    Put(image, 0x80010 + 53, std::string("\x00\x01\x00\x00", 4));
    Put(image, 0x80100, Entry(0x10000, 0x00000, 0x22) + Entry(0x10000, 0x10000, 0x22) +
                            Entry(0x10000, 0x70000, 0x122) + std::string(16, '\0'));
    std::ofstream("bios.wph", std::ios::binary) << image;
    g_run.runFlags = 0x1000;

    EXPECT_EQ(PrepareFlashAreas(), 0);
    EXPECT_EQ(g_run.dmiBlockIndex, 1);
    Put(image, 0x80100 + 14, std::string(2, '\0'));
    Put(image, 0x80120 + 14, std::string(2, '\0'));
    EXPECT_TRUE(ReadWholeFile("bios.wph") == image);
}

TEST(ImageSelection, NewIdentityFromNewSys) {
    Reset({});
    strcpy(g_run.newModelNumber, "old");
    EXPECT_EQ(ReadNewImageIdentity("newSys.bin"), 0x8000000bu);
    std::ofstream("newSys.bin", std::ios::binary);
    EXPECT_EQ(ReadNewImageIdentity("newSys.bin"), 0x8000000bu) << "empty";
    EXPECT_STREQ(g_run.newModelNumber, "old");

    std::ofstream("newSys.bin", std::ios::binary) << "..DEVELS36xxxxx..DiaG@1234567NQ36";
    EXPECT_EQ(ReadNewImageIdentity("newSys.bin"), 0u);
    EXPECT_STREQ(g_run.newModelNumber, "NQ36");
    EXPECT_STREQ(g_run.newPartNumber, "S36");

    std::ofstream("newSys.bin", std::ios::binary) << "DEVELT37";
    EXPECT_EQ(ReadNewImageIdentity("newSys.bin"), 0u);
    EXPECT_STREQ(g_run.newModelNumber, "NQ36") << "kept: this file has no model block";
    EXPECT_STREQ(g_run.newPartNumber, "T37");
}

}  // namespace
