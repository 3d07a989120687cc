#include "sim/flashers/flasher_tools.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(StandInFlashers, ToolByTheNameItRunsUnder) {
    const struct {
        const char* stem;
        StandInTool tool;
    } cases[] = {
        {"SWinFlash", StandInTool::Phoenix},  {"SWinFlash_32", StandInTool::Phoenix},
        {"swinflash_64", StandInTool::Phoenix}, {"TarpexV01_10", StandInTool::Micom},
        {"TARPEXV01_10", StandInTool::Micom},   {"TarpexV01_1", StandInTool::Unknown},
        {"TarpexV01_100", StandInTool::Unknown}, {"AFUWIN", StandInTool::Ami},
        {"afuwinx64", StandInTool::Ami},        {"afuwi", StandInTool::Unknown},
        {"SWinFlas", StandInTool::Unknown},      {"", StandInTool::Unknown},
    };
    for (const auto& c : cases) EXPECT_EQ(StandInToolOf(c.stem), c.tool) << c.stem;
}

void Put32(std::vector<uint8_t>* image, size_t at, uint32_t value) { memcpy(&(*image)[at], &value, 4); }

// An image under 1 MiB with its flash-area table above 0x80000, where the flasher looks.
std::vector<uint8_t> Image(const std::vector<FlashBlock>& areas, const std::vector<uint16_t>& attributes,
                           bool terminated) {
    std::vector<uint8_t> image(0xA0000, 0x5A);
    memcpy(&image[0x90000], "ZQDS", 4);
    memcpy(&image[0x90040], "ZFLPF", 5);
    Put32(&image, 0x90040 + 53, 0x100);
    size_t at = 0x90100;
    for (size_t i = 0; i < areas.size(); ++i, at += 16) {
        Put32(&image, at, areas[i].length);
        Put32(&image, at + 4, areas[i].imageOffset);
        Put32(&image, at + 8, areas[i].address);
        Put32(&image, at + 12, static_cast<uint32_t>(attributes[i]) << 16);
    }
    memset(&image[at], terminated ? 0 : 0xFF, 16);
    return image;
}

TEST(StandInFlashers, PhoenixWritesTheBlocksMarkedExactly0x22) {
    const std::vector<FlashBlock> areas = {
        {0xFFF00000, 0x00000, 0x10000},  // marked
        {0xFFF10000, 0x10000, 0x10000},  // left alone
        {0xFFFF0000, 0x90000, 0x10000},  // the packaged top block, 0x122
        {0xFFF20000, 0x98000, 0x10000},  // marked, but runs past the image's end
        {0xFFF30000, 0x30000, 0},        // marked, but empty
        {0xFFF92000, 0x12000, 0xE000},   // marked
    };
    const std::vector<uint16_t> attributes = {0x22, 0, 0x122, 0x22, 0x22, 0x22};
    std::vector<uint8_t> image = Image(areas, attributes, true);
    std::vector<FlashBlock> blocks = PhoenixFlashBlocks(image.data(), image.size());
    ASSERT_EQ(blocks.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        const FlashBlock& want = areas[i == 0 ? 0 : 5];
        EXPECT_EQ(blocks[i].address, want.address);
        EXPECT_EQ(blocks[i].imageOffset, want.imageOffset);
        EXPECT_EQ(blocks[i].length, want.length);
    }

    std::vector<uint8_t> broken = Image(areas, attributes, false);
    EXPECT_TRUE(PhoenixFlashBlocks(broken.data(), broken.size()).empty()) << "a table without its end";
    EXPECT_TRUE(PhoenixFlashBlocks(image.data(), 0x90100 + 3 * 16 + 8).empty())
        << "a table cut off by the image's end";
}

}  // namespace
