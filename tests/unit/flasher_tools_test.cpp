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

// The identity a real flasher compares: the first block of each kind, cut at a zero byte.
TEST(StandInFlashers, IdentityFromTheFirstBlocks) {
    const struct {
        std::string bytes, model, part;
    } rows[] = {
        {std::string("xxDiaG@") + std::string(7, '\0') + "QN14..DEVELP07", "QN14", "P07"},
        {std::string("DEVELP0") + '\0' + "x DiaG@" + std::string(7, '\0') + "Q" + '\0' + "15", "Q", "P0"},
        {"DEVELP07DEVELP08DiaG@1234", "", "P07"},
        {"DiaG@1234567QN15DEVEL", "QN15", ""},
        {"no blocks", "", ""},
    };
    for (const auto& row : rows) {
        BiosIdentity id = IdentityIn(reinterpret_cast<const uint8_t*>(row.bytes.data()), row.bytes.size());
        EXPECT_EQ(id.model, row.model) << row.bytes;
        EXPECT_EQ(id.part, row.part) << row.bytes;
    }
}

// As msvcrt.dll hands a command line to main: the rows that tell it from a plain split on
// blanks, and the two lines of the flasher runs that went wrong.
TEST(StandInFlashers, SplitAsMsvcrtSplits) {
    const struct {
        const char* line;
        std::vector<std::string> words;
    } cases[] = {
        {"C:\\W\\SWinFlash bios.wph /P", {"C:\\W\\SWinFlash", "bios.wph", "/P"}},
        {"\"C:\\Documents and Settings\\W\\SWinFlash\" bios.wph\t/P  ",
         {"C:\\Documents and Settings\\W\\SWinFlash", "bios.wph", "/P"}},
        {"C:\\Documents and Settings\\W\\SWinFlash bios.wph",
         {"C:\\Documents", "and", "Settings\\W\\SWinFlash", "bios.wph"}},
        {"S bios.wph /P /MODE=3 /DO0:BF\"A /DO1:20261207 /DSS:QV14X0001234",
         {"S", "bios.wph", "/P", "/MODE=3", "/DO0:BFA /DO1:20261207 /DSS:QV14X0001234"}},
        {"\"C:\\a\\\"b c", {"C:\\a\\", "b", "c"}},  // no escapes in the program name
        {"S a\\\\\"b c\" d", {"S", "a\\b c", "d"}},    // 2n backslashes: n, and the quote acts
        {"S a\\\\\\\"b c", {"S", "a\\\"b", "c"}},     // 2n+1: n and a literal quote
        {"S a\\b\\\\c", {"S", "a\\b\\\\c"}},        // no quote after them: as they are
        {"S \"a\"\"b c\"", {"S", "a\"b", "c"}},          // "" in quotes: a quote, quoting ends
        {"S \"\"", {"S", ""}},
        {"S", {"S"}},
        {"", {""}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitAsMsvcrt(c.line), c.words) << c.line;
}

TEST(StandInFlashers, RefuseWhatTheyCannotUse) {
    using Words = std::vector<std::string>;
    const struct {
        StandInTool tool;
        Words arguments;
        Words refused;  // "argument: why"
    } cases[] = {
        {StandInTool::Phoenix, {"BIOS.WPH", "/P", "/bbl", "/C", "/MODE=3", "/MODE=1", "/MODE:2", "/DO0:BF0A",
                                "/DO1:", "/DSS:To_Be_Filled_By_O.E.M."}, {}},
        {StandInTool::Phoenix, {"bios.wph", "/DO0:BFA /DO1:20261207 /DSS:QV14X0001234"},
         {"/DO0:BFA /DO1:20261207 /DSS:QV14X0001234: longer than its DMI field"}},
        {StandInTool::Phoenix, {"bios.wph", "/DO0:0123456789ABCDEF", "/DO0:0123456789ABCDEFG"},
         {"/DO0:0123456789ABCDEFG: longer than its DMI field"}},
        {StandInTool::Phoenix, {"bios.wph", "/MODE=4", "/PP"}, {"/MODE=4: no mode it knows", "/PP: a switch it does not know"}},
        {StandInTool::Phoenix, {}, {": not its input file"}},
        {StandInTool::Micom, {"kbc.bin", "/FORCE", "/FORCE", "/SERIAL", "/A"}, {}},
        {StandInTool::Micom, {"bios.wph", "/FORCE", "/P"}, {"bios.wph: not its input file", "/P: a switch it does not know"}},
        {StandInTool::Ami, {"bios.rom", "/p", "/b", "/n", "/e", "/r", "/x"}, {"/x: a switch it does not know"}},
    };
    for (const auto& c : cases) {
        Words refused;
        for (const RefusedArgument& r : RefusedArguments(c.tool, c.arguments)) refused.push_back(r.argument + ": " + r.why);
        EXPECT_EQ(refused, c.refused) << (c.arguments.empty() ? "" : c.arguments[0]);
    }
}

}  // namespace
