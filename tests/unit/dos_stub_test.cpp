#include "tools/dos_stub/dos_stub.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

uint32_t Get(const Bytes& b, size_t at, int size = 4) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | b[at + i];
    return value;
}

void Set(Bytes& b, size_t at, uint32_t value, int size = 4) {
    for (int i = 0; i < size; ++i) b[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// A PE32 program as a linker lays it out: the PE header at 0x80, headers padded to 0x400, then
// two sections of 0x200 bytes whose first starts at firstSection in memory.
constexpr size_t kPe = 0x80, kOpt = kPe + 24, kTable = kOpt + 224;
Bytes Program(uint32_t firstSection) {
    Bytes b(0x800, 0);
    b[0] = 'M';
    b[1] = 'Z';
    Set(b, 0x3C, kPe);
    memcpy(&b[kPe], "PE\0\0", 4);
    Set(b, kPe + 4, 0x14C, 2);
    Set(b, kPe + 6, 2, 2);
    Set(b, kPe + 20, 224, 2);
    Set(b, kOpt, 0x10B, 2);
    Set(b, kOpt + 32, 0x1000);
    Set(b, kOpt + 36, 0x200);
    Set(b, kOpt + 60, 0x400);
    Set(b, kOpt + 92, 16);
    for (uint32_t s = 0; s < 2; ++s) {
        size_t header = kTable + s * 40;
        memcpy(&b[header], s == 0 ? ".text" : ".data", 5);
        Set(b, header + 12, firstSection + s * 0x1000);
        Set(b, header + 16, 0x200);
        Set(b, header + 20, 0x400 + s * 0x200);
        for (size_t i = 0; i < 0x200; ++i) b[0x400 + s * 0x200 + i] = static_cast<uint8_t>(s * 100 + i * 7);
    }
    return b;
}

// The checksum as the sum of all 16-bit words, folded once at the end, plus the length.
uint32_t FoldedSum(Bytes file, size_t checksumOffset) {
    Set(file, checksumOffset, 0);
    uint64_t sum = 0;
    for (size_t i = 0; i < file.size(); i += 2) sum += Get(file, i, 2);
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + file.size());
}

TEST(DosStub, MovesThePeHeadersBehindTheDosProgram) {
    struct Case {
        uint32_t firstSection;
        size_t dosSize;
        uint32_t sizeOfHeaders;  // 0: refused for want of room
    };
    const Case cases[] = {
        {0x4000, 100, 0x3200},     // padded: the header area ends within the page before .text
        {0x4000, 0x3100, 0x3400},
        {0x4000, 0x3E80, 0},       // headers would run into .text
        {0x1000, 100, 0x200},      // a linker's usual layout: the header area shrinks
        {0x1000, 0xE00, 0x1000},
        {0x1000, 0xE80, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.firstSection << " " << c.dosSize);
        Bytes program = Program(c.firstSection);
        Bytes dos(c.dosSize);
        for (size_t i = 0; i < dos.size(); ++i) dos[i] = static_cast<uint8_t>(i * 13 + 1);
        Bytes placed;
        std::string error = PlaceDosStub(program, dos, &placed);
        if (c.sizeOfHeaders == 0) {
            EXPECT_NE(error.find("no room"), std::string::npos) << error;
            continue;
        }
        ASSERT_EQ(error, "");

        // DOS sees an MZ program of header and unpacker, started as a .COM program is.
        size_t loaded = 0x40 + c.dosSize;
        EXPECT_EQ(Get(placed, 0, 2), 0x5A4Du);
        EXPECT_EQ(Get(placed, 2, 2), loaded % 512);
        EXPECT_EQ(Get(placed, 4, 2), (loaded + 511) / 512);
        EXPECT_EQ(Get(placed, 6, 2), 0u) << "relocations";
        EXPECT_EQ(Get(placed, 8, 2), 4u) << "header paragraphs";
        EXPECT_EQ(Get(placed, 0x14), 0xFFF00100u) << "CS:IP";
        EXPECT_EQ(Get(placed, 0x0E), 0xFFFEFFF0u) << "SS, SP";
        EXPECT_EQ(Get(placed, 0x28), 0u) << "the archive offset stays free";
        EXPECT_TRUE(std::equal(dos.begin(), dos.end(), placed.begin() + 0x40));

        // Windows sees the same headers further on, the sections where they say.
        uint32_t pe = Get(placed, 0x3C);
        EXPECT_EQ(pe % 8, 0u);
        EXPECT_GE(pe, loaded);
        EXPECT_TRUE(std::equal(program.begin() + kPe, program.begin() + kOpt + 60, placed.begin() + pe));
        EXPECT_EQ(Get(placed, pe + 24 + 60), c.sizeOfHeaders);
        int32_t shift = static_cast<int32_t>(c.sizeOfHeaders) - 0x400;
        for (size_t s = 0; s < 2; ++s) {
            size_t header = pe + 24 + 224 + s * 40;
            EXPECT_TRUE(std::equal(placed.begin() + header, placed.begin() + header + 20,
                                   program.begin() + kTable + s * 40));
            uint32_t raw = Get(placed, header + 20);
            EXPECT_EQ(raw, 0x400 + s * 0x200 + shift);
            EXPECT_TRUE(std::equal(placed.begin() + raw, placed.begin() + raw + 0x200,
                                   program.begin() + 0x400 + s * 0x200));
        }
        EXPECT_EQ(placed.size(), program.size() + shift);
        EXPECT_EQ(Get(placed, pe + 24 + 64), FoldedSum(placed, pe + 24 + 64));
    }
}

TEST(DosStub, RefusesWhatItCannotPlaceSafely) {
    Bytes dos(100, 0x90);
    struct Case {
        const char* what;
        size_t at;
        uint32_t value;
        const char* error;
    };
    const Case cases[] = {
        {"archive behind it already", 0x28, 0x800, "already carries an archive"},
        {"not MZ", 0, 0x5A4E, "not an MZ program"},
        {"signed", kOpt + 96 + 4 * 8 + 4, 0x100, "signed"},
        {"debug directory", kOpt + 96 + 6 * 8 + 4, 0x1C, "debug directory"},
        {"symbol table", kPe + 12, 0x700, "symbol table"},
        {"PE32+", kOpt, 0x20B, "not a 32-bit Windows program"},
        {"section inside the headers", kTable + 20, 0x200, "in the header area"},
    };
    for (const Case& c : cases) {
        Bytes program = Program(0x4000);
        Set(program, c.at, c.value, c.at == 0 || c.at == kOpt ? 2 : 4);
        Bytes placed;
        std::string error = PlaceDosStub(program, dos, &placed);
        EXPECT_NE(error.find(c.error), std::string::npos) << c.what << ": " << error;
    }
    Bytes placed;
    EXPECT_NE(PlaceDosStub(Program(0x4000), Bytes(), &placed), "") << "no DOS program";
}

}  // namespace
