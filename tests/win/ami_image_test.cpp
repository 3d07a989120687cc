// The AMI BIOS read from the fake OS's notebook and the AMI image read from its file, with what
// each read gives when its text, its file or the driver is missing.
#include "update/ami_image.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <fstream>
#include <string>

#include "core/run_context.h"
#include "hw/access_driver.h"
#include "tests/win/os_fake.h"
#include "tests/win/scratch.h"
#include "update/ami_path.h"

namespace {

void Boot() {
    g_fakeOs = FakeOs{};
    g_accessDriver = AccessDriverState{false, false, false, FALSE, false, false, INVALID_HANDLE_VALUE};
    g_run = RunContext{};
    EnterScratchPlace();
    ProbeWindowsVersion();
}

void Put(uint32_t address, const std::string& text) {
    memcpy(&g_fakeOs.profile.machine.lowMemory[address], text.data(), text.size());
}

// An image whose "$FID" block names part and build.
void WriteImage(const std::string& part, const std::string& build) {
    std::string block = "$FID\x01?..." + part;
    block += std::string(52 - block.size(), '.') + build;
    std::ofstream("bios.rom", std::ios::binary) << std::string(0x2000, '\xFF') + block + "\xFF\xFF";
}

TEST(AmiImage, BiosAndImageIdentity) {
    Boot();
    Put(0xF0490, "AMIBIOS Version QN08");
    Put(0xF0490 + 26, " 0000250");
    Put(0xF4E10, "DEVELP09");
    EXPECT_EQ(ReadAmiVersion(), 0u);
    EXPECT_STREQ(g_run.biosVersion, "QN08");
    EXPECT_EQ(ReadAmiBuildNumber(), 250u);
    WriteImage("P09", "251");
    EXPECT_EQ(ReadFidBuildNumber("bios.rom"), 251u);
    EXPECT_EQ(ComparePartNumbers(), 0u);

    WriteImage("P10", "251");
    EXPECT_EQ(ComparePartNumbers(), 0x80000007u);
    EXPECT_STREQ(g_run.partNumber, "P09");
    EXPECT_STREQ(g_run.newPartNumber, "P10");

    std::ofstream("bios.rom", std::ios::binary) << "no block here";
    char part[4] = "old";
    EXPECT_EQ(ReadFidBuildNumber("bios.rom"), 0u);
    EXPECT_EQ(ReadFidPartNumber("bios.rom", part), 0u);
    EXPECT_STREQ(part, "old");
    DeleteFileA("bios.rom");
    EXPECT_EQ(ReadFidBuildNumber("bios.rom"), kNotFound);
    EXPECT_EQ(ComparePartNumbers(), kNotFound);

    Boot();
    EXPECT_EQ(ReadAmiVersion(), 0x80000009u);
    EXPECT_EQ(ReadAmiBuildNumber(), kNotFound);
    EXPECT_EQ(ComparePartNumbers(), 0x80000005u) << "no \"DEVEL\" in the BIOS";
    Boot();
    g_fakeOs.profile.drivers.addmem = false;
    EXPECT_EQ(ReadAmiVersion(), 0x80000005u);
    EXPECT_EQ(ReadAmiBuildNumber(), 0x80000005u);
    EXPECT_EQ(g_fakeOs.openDevices.size(), 0u) << "a handle left open";
}

// A package with a single image gives it the flasher's name at once; one that cannot be copied
// there, or whose copy is not what the package (win.FakeOsFaults' double) unpacks, fails the step.
TEST(AmiImage, ASingleImageIsCopiedToBiosRom) {
    const struct {
        const char* what;
        const char* content;
        bool held;
        bool copied;
    } cases[] = {{"the image free", "content of QN15X101.rom", false, true},
                 {"the image held by another program", "content of QN15X101.rom", true, false},
                 {"the image not as packed", "content of QN15X101.rom!", false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Boot();
        std::ofstream("QN15X101.rom", std::ios::binary) << c.content;
        HANDLE holder = c.held ? CreateFileA("QN15X101.rom", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                               : INVALID_HANDLE_VALUE;
        EXPECT_EQ(FindAmiImages(), c.copied ? 0u : 0x8000000bu);
        if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);
        if (c.copied) EXPECT_EQ(ReadWholeFile("bios.rom"), c.content);
    }
}

}  // namespace
