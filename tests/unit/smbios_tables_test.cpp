// A real notebook's SMBIOS table on the simulated notebook, where its entry point says.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sim/firmware_tables.h"
#include "sim/profile.h"

namespace {

const std::string kData = std::string(QV_SOURCE_DIR) + "/sim/profiles/";
constexpr uint64_t kTable = 0x6A162000;

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (unsigned char c : bytes) hex += {digits[c >> 4], digits[c & 15]};
    return hex;
}

// The shipped profile with its entry point swapped for the named file's.
MachineProfile Notebook(const std::string& entryPointFile) {
    std::string text = ReadFile(kData + "notebook-2017.json");
    std::string shipped = Hex(ReadFile(kData + "data/notebook-2017.smbios_entry_point"));
    text.replace(text.find(shipped), shipped.size(), Hex(ReadFile(kData + "data/" + entryPointFile)));
    MachineProfile profile;
    std::string error;
    EXPECT_TRUE(ParseProfile(text, &profile, &error)) << error;
    return profile;
}

std::vector<uint8_t> Read(Machine* machine, uint64_t address, uint32_t length) {
    std::vector<uint8_t> bytes(length);
    MemoryRead(machine, address, bytes.data(), length);
    return bytes;
}

TEST(SmbiosTables, EntryPointsSayWhereTheirTableLies) {
    struct Case {
        const char* what;
        std::string entry;
        bool known;
        uint64_t address;
    };
    const Case cases[] = {
        {"3.0, as the notebook has it", ReadFile(kData + "data/notebook-2017.smbios_entry_point"), true, kTable},
        {"2.x with its _DMI_", ReadFile(kData + "data/notebook-2017-legacy.smbios_entry_point"), true, kTable},
        {"a lone legacy _DMI_", std::string("_DMI_\0\0\0\0\x80\x0E\0", 12), true, 0xE8000},
        {"3.0 cut before its address ends", std::string("_SM3_\0\0\0\0\0\0\0\0\0\0\0\0\x20\x16\x6A\0\0\0", 23), false, 0},
        {"2.x whose _DMI_ is missing", std::string("_SM_") + std::string(40, '\0'), false, 0},
        {"anything else", "_SM2_ and more bytes than any entry point", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        uint64_t address = 0;  // stays 0 for an entry point it does not know
        EXPECT_EQ(SmbiosTableAddress(Bytes(c.entry), &address), c.known);
        EXPECT_EQ(address, c.address);
    }
}

TEST(SmbiosTables, RealTableSitsWhereItsEntryPointSays) {
    MachineProfile profile = Notebook("notebook-2017.smbios_entry_point");
    Machine& m = profile.machine;
    std::string dmi = ReadFile(kData + "data/notebook-2017.DMI");
    ASSERT_EQ(dmi.size(), 5829u);
    EXPECT_EQ(Read(&m, kTable, 5829), Bytes(dmi));
    EXPECT_EQ(Read(&m, 0xF0800, 24), Bytes(ReadFile(kData + "data/notebook-2017.smbios_entry_point")));
    // The table's pages are RAM: zero past the table, and they keep what is written.
    EXPECT_EQ(Read(&m, kTable + 5829, 1), std::vector<uint8_t>{0x00});
    const uint8_t mark = 0x5A;
    MemoryWrite(&m, kTable + 0x1FFF, &mark, 1);
    EXPECT_EQ(Read(&m, kTable + 0x1FFF, 1), std::vector<uint8_t>{mark});
    // Beyond them nothing answers; the first MiB and the flash are as before.
    MemoryWrite(&m, kTable + 0x2000, &mark, 1);
    EXPECT_EQ(Read(&m, kTable + 0x2000, 1), std::vector<uint8_t>{0xFF});
    EXPECT_EQ(Read(&m, kTable - 1, 1), std::vector<uint8_t>{0xFF});
    EXPECT_EQ(Read(&m, 0x500, 1), std::vector<uint8_t>{0x00});
    EXPECT_EQ(Read(&m, 0xFFFFFFF0, 1), std::vector<uint8_t>{0xFF});
}

TEST(SmbiosTables, ProfilesThatPlaceNothingSound) {
    const std::string entry = Hex(ReadFile(kData + "data/notebook-2017.smbios_entry_point"));
    const std::string above4G = "5F534D335F0018030000010010000000000000000100000000";
    const std::string bad[] = {
        R"({"dmi_tables": {"smbios_entry_point": ")" + entry + R"("}})",
        R"({"dmi_tables": {"smbios_entry_point": "5F534D335F", "DMI": "7F040000"}})",
        R"({"dmi_tables": {"smbios_entry_point": ")" + above4G + R"(", "DMI": "7F040000"}})",
        R"({"dmi_tables": {"entry_at": "0xF0808", "smbios_entry_point": ")" + entry + R"(", "DMI": "7F04"}})",
        R"({"dmi_tables": {"smbios_entry_point": ")" + entry + R"(", "DMI": "7F04"}, "smbios": {}})",
        R"({"memory": [{"at": "0xFFEFFFFF", "hex": "0000"}]})",
        R"({"flash_size": "0x200000", "memory": [{"at": "0xFFE00000", "hex": "00"}]})",
        R"({"memory": [{"at": "0xFFFFFFFFFFFFFFFF", "hex": "00"}]})",
        R"({"bios": [{"at": "0xFFFFFFFFFFFFFFFF", "hex": "00"}]})",
        R"({"smbios": {"table_at": "0x100000000"}})",
    };
    for (const std::string& text : bad) {
        MachineProfile profile;
        std::string error;
        EXPECT_FALSE(ParseProfile(text, &profile, &error)) << text;
    }
    MachineProfile profile;
    std::string error;
    ASSERT_TRUE(ParseProfile(R"({"memory": [{"at": "0xFFEFFFFF", "hex": "AB"}],
                                 "smbios": {"table_at": "0x7FFFF000", "structures": [{"type": 1}]}})",
                             &profile, &error)) << error;
    EXPECT_EQ(Read(&profile.machine, 0xFFEFFFFF, 1), std::vector<uint8_t>{0xAB}) << "RAM up to the flash";
    EXPECT_EQ(Read(&profile.machine, 0x7FFFF000, 1), std::vector<uint8_t>{0x01}) << "a made table above 1 MiB";
}

}  // namespace
