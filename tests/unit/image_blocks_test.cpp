#include "update/image_blocks.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using Blocks = std::vector<std::pair<size_t, std::string>>;

// Exactly size bytes: a read past the end is a read outside the buffer.
std::vector<uint8_t> Data(size_t size, const Blocks& blocks) {
    std::vector<uint8_t> data(size, 0xA5);
    for (const auto& block : blocks) {
        for (size_t i = 0; i < block.second.size() && block.first + i < size; ++i) {
            data[block.first + i] = static_cast<uint8_t>(block.second[i]);
        }
    }
    return data;
}

std::string DiaG(const char* model) { return std::string("DiaG@") + "1234567" + model; }

// A "BCPSYS" block whose word at 0x69 is word.
std::string Bcpsys(uint16_t word) {
    return "BCPSYS" + std::string(0x69 - 6, 'x') + static_cast<char>(word) +
           static_cast<char>(word >> 8);
}

}  // namespace

TEST(ImageBlocks, NewModelAndPartNumber) {
    struct Case {
        const char* what;
        size_t size;
        Blocks blocks;
        const char* model;  // nullptr: not found
        const char* part;
    };
    const Case cases[] = {
        {"both, in a file shorter than the limit", 0x100,
         {{0x10, "DEVELR35xxxxx"}, {0x40, DiaG("NP35")}}, "NP35", "R35"},
        {"DEVEL after DiaG@ is not seen", 0x100, {{0x40, DiaG("NP35")}, {0x80, "DEVELR35"}}, "NP35",
         nullptr},
        {"a later DEVEL replaces", 0x100, {{0x10, "DEVELR35"}, {0x20, "DEVELS36"}}, nullptr, "S36"},
        {"model field ends at the end", 0x100, {{0x100 - 16, DiaG("NP35")}}, "NP35", nullptr},
        {"model field cut by the end", 0x100, {{0x100 - 15, DiaG("NP35")}}, nullptr, nullptr},
        {"part field ends at the end", 0x100, {{0x100 - 8, "DEVELR35"}}, nullptr, "R35"},
        {"part field cut by the end", 0x100, {{0x100 - 7, "DEVELR35"}}, nullptr, nullptr},
        {"under 1 MiB: last offset scanned", 0xF0000, {{0x7FFD7, "DEVELR35"}}, nullptr, "R35"},
        {"under 1 MiB: limit", 0xF0000, {{0x7FFD8, "DEVELR35"}}, nullptr, nullptr},
        {"1 MiB: last offset scanned", 0x100000, {{0xFFFD7, DiaG("NP35")}}, "NP35", nullptr},
        {"1 MiB: limit", 0x100000, {{0xFFFD8, DiaG("NP35")}}, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> data = Data(c.size, c.blocks);
        NewImageIdentity identity = ScanNewImageIdentity(data.data(), data.size());
        EXPECT_EQ(identity.hasModel, c.model != nullptr);
        EXPECT_STREQ(identity.modelNumber, c.model ? c.model : "");
        EXPECT_EQ(identity.hasPart, c.part != nullptr);
        EXPECT_STREQ(identity.partNumber, c.part ? c.part : "");
    }
}

TEST(ImageBlocks, DmiBlockIndexFromBcpsys) {
    struct Case {
        const char* what;
        size_t size;
        Blocks blocks;
        int index;  // -1: none
    };
    const Case cases[] = {
        {"2 MiB image", 0x200000, {{0x1000, Bcpsys(0xB123)}}, 11},
        {"under 1 MiB: less 8", 0x80000, {{0x1000, Bcpsys(0xB123)}}, 3},
        {"under 1 MiB, below 8", 0x80000, {{0x1000, Bcpsys(0x7FFF)}}, -1},
        {"the first block counts", 0x200000, {{0x10, Bcpsys(0x9000)}, {0x100, Bcpsys(0xA000)}},
         9},
        {"word ends at the end", 0x1000, {{0x1000 - 0x6B, Bcpsys(0xC000)}}, 4},
        {"word cut by the end", 0x1000, {{0x1000 - 0x6A, Bcpsys(0xC000)}}, -1},
        {"no block", 0x200000, {}, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> data = Data(c.size, c.blocks);
        uint8_t index = 0x77;
        EXPECT_EQ(FindDmiBlockIndex(data.data(), data.size(), &index), c.index >= 0);
        EXPECT_EQ(index, c.index >= 0 ? c.index : 0x77);
    }
}
