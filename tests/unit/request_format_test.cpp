#include "hw/request_format.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "hw/signature_search.h"

namespace {

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string text;
    char pair[3];
    for (uint8_t b : bytes) {
        snprintf(pair, sizeof pair, "%02X", b);
        text += pair;
    }
    return text;
}

const AccessMode V = AccessMode::Vexa, K = AccessMode::Kmdf, A = AccessMode::Addmem,
                 M = AccessMode::Memio;

TEST(RequestFormat, EveryPortRequestInEveryMode) {
    struct Case {
        AccessMode mode;
        bool wow64, write;
        uint32_t port;
        int width;
        uint32_t value;
        uint32_t code;
        const char* input;
        uint32_t output;
    };
    const Case cases[] = {
        {V, false, true, 0x64, 1, 0xAD, 0x9C412008, "640000000001000000AD", 1},
        {V, true, true, 0x64, 1, 0xAD, 0x9C412008, "64000000000000000001000000000000" "00AD", 1},
        {V, false, false, 0x60, 1, 0, 0x9C412008, "600000000101000000", 1},
        {V, true, false, 0x60, 1, 0, 0x9C412008, "6000000000000000010100000000000000", 1},
        {V, false, true, 0x70, 2, 0x1234, 0x9C412008, "7000000000020000003412", 2},
        {V, true, true, 0x70, 2, 0x1234, 0x9C412008, "700000000000000000020000000000000034" "12", 2},
        {V, false, false, 0x70, 2, 0, 0x9C412008, "700000000102000000", 2},
        {V, false, true, 0xCF8, 4, 0x8000F840, 0x9C412008, "F80C0000000400000040F80080", 4},
        {V, true, true, 0xCF8, 4, 0x8000F840, 0x9C412008,
         "F80C000000000000000400000000000000" "40F80080", 4},
        {V, false, false, 0xCFC, 4, 0, 0x9C412008, "FC0C00000104000000", 4},
        {V, true, false, 0xCFC, 4, 0, 0x9C412008, "FC0C0000000000000104000000" "00000000", 4},
        {K, false, true, 0x64, 1, 0xAD, 0x9C412404, "64000000000000000100000000000000AD", 17},
        {K, true, false, 0x60, 1, 0, 0x9C412400, "600000000000000001000000000000" "0000", 17},
        {K, false, true, 0x70, 2, 0x1234, 0x9C41240C, "7000000000000000020000000000000034" "12", 18},
        {K, false, false, 0x70, 2, 0, 0x9C412408, "7000000000000000020000000000000000" "00", 18},
        {K, false, true, 0xCF8, 4, 0x8000F840, 0x9C412414,
         "F80C000000000000040000000000000040F80080", 20},
        {K, false, false, 0xCFC, 4, 0, 0x9C412410, "FC0C0000000000000400000000000000" "00000000", 20},
        {A, false, true, 0x64, 1, 0xAD, 0x222034, "64000000AD000000", 1},
        {A, true, false, 0x60, 1, 0, 0x222038, "6000000000000000", 1},
        {A, false, true, 0x70, 2, 0x1234, 0x22203C, "7000000034120000", 2},
        {A, false, false, 0x70, 2, 0, 0x222040, "7000000000000000", 2},
        {A, false, true, 0xCF8, 4, 0x8000F840, 0x222044, "F80C000040F80080", 4},
        {A, false, false, 0xCFC, 4, 0, 0x222048, "FC0C000000000000", 4},
        {M, false, true, 0x64, 1, 0xAD, 0x9C412404, "64000000000000000000000000000000", 16},
        {M, false, false, 0x60, 1, 0, 0x9C412400, "60000000000000000000000000000000", 16},
        {M, false, true, 0x70, 2, 0x1234, 0x9C412404, "70000000000000000000000000000000", 16},
        {M, false, false, 0xCFC, 4, 0, 0x9C412400, "FC0C0000000000000000000000000000", 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << static_cast<int>(c.mode) << " wow64 "
                                        << c.wow64 << (c.write ? " write " : " read ")
                                        << c.width << " port " << std::hex << c.port);
        DriverRequest request = EncodePortRequest(c.mode, c.wow64, c.write, c.port, c.width, c.value);
        EXPECT_EQ(request.code, c.code);
        EXPECT_EQ(Hex(request.input), c.input);
        EXPECT_EQ(request.outputSize, c.output);
    }
}

TEST(RequestFormat, EveryMemoryRequestInEveryMode) {
    const uint8_t data[2] = {0xAB, 0xCD};
    struct Case {
        AccessMode mode;
        bool wow64, write;
        uint64_t address;
        uint32_t length;
        uint32_t code;
        const char* input;
        uint32_t output;
    };
    const Case cases[] = {
        {V, false, false, 0x1000F0000ull, 0x10000, 0x9C41200C, "00000F000100000100", 0x10000},
        {V, true, false, 0x1000F0000ull, 0x10000, 0x9C41200C,
         "00000F0001000000010000010000000000", 0x10000},
        {V, false, true, 0xF0010, 2, 0x9C41200C, "10000F000002000000ABCD", 2},
        {V, true, true, 0xF0010, 2, 0x9C41200C, "10000F00000000000002000000000000" "00ABCD", 2},
        {K, false, false, 0x1000F0000ull, 4, 0x9C412800,
         "0000000000000F00040000000000000000000000", 20},
        {K, true, true, 0xF0010, 2, 0x9C412804, "0000000010000F000200000000000000ABCD", 18},
        {A, false, false, 0x1000F0000ull, 16, 0x22204C, "00000F0001000000", 16},
        {A, true, true, 0xF0010, 2, 0x222050, "10000F0000000000ABCD", 2},
        {M, false, false, 0xF0000, 16, 0x22204C, "00000F0000000000", 16},
        {M, false, true, 0xF0010, 2, 0x222050, "10000F0000000000ABCD", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << static_cast<int>(c.mode) << " wow64 "
                                        << c.wow64 << (c.write ? " write" : " read"));
        DriverRequest request =
            EncodeMemoryRequest(c.mode, c.wow64, c.write, c.address, c.length, data);
        EXPECT_EQ(request.code, c.code);
        EXPECT_EQ(Hex(request.input), c.input);
        EXPECT_EQ(request.outputSize, c.output);
    }
}

TEST(RequestFormat, DispatchByWindowsVersion) {
    struct Case {
        bool win61, win60, nt;
        AccessMode port, memory;
    };
    const Case cases[] = {
        {true, false, true, V, V},
        {false, true, true, K, K},
        {false, false, true, A, A},
        {false, false, false, M, A},
        {true, false, false, V, V},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PortAccessMode(c.win61, c.win60, c.nt), c.port);
        EXPECT_EQ(MemoryAccessMode(c.win61, c.win60), c.memory);
    }
}

TEST(SignatureSearch, StrideEndAndStart) {
    std::string window(0x100, '\0');
    auto place = [&](size_t at, const char* text) {
        std::string w = window;
        w.replace(at, strlen(text), text);
        return w;
    };
    auto find = [](const std::string& w, const char* sig, uint32_t stride) {
        return FindSignature(reinterpret_cast<const uint8_t*>(w.data()),
                             static_cast<uint32_t>(w.size()), sig, stride);
    };
    EXPECT_EQ(find(place(0, "_DMI_"), "_DMI_", 16), 0);
    EXPECT_EQ(find(place(0x40, "_DMI_"), "_DMI_", 16), 0x40);
    EXPECT_EQ(find(place(0x41, "_DMI_"), "_DMI_", 16), -1) << "off the stride";
    EXPECT_EQ(find(place(0x41, "DEVEL"), "DEVEL", 1), 0x41);
    EXPECT_EQ(find(place(0x100 - 5, "DEVEL"), "DEVEL", 1), -1) << "n - m is not tested";
    EXPECT_EQ(find(place(0x100 - 6, "DEVEL"), "DEVEL", 1), 0x100 - 6);
    std::string two = place(0x10, "AMIBIOS");
    two.replace(0x80, 7, "AMIBIOS");
    EXPECT_EQ(find(two, "AMIBIOS", 1), 0x10) << "the first match";
    EXPECT_EQ(find("_DMI_", "_DMI_", 1), -1) << "the window must be longer than the signature";
}

}  // namespace
