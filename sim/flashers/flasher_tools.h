// The stand-in flashers' pure half: which tool a stand-in plays, by the name it was started
// under, what it is given and what it writes to the flash.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

enum class StandInTool { Unknown, Phoenix, Micom, Ami };

// By the program's file name without folder and extension, ignoring case: "SWinFlash" and
// "SWinFlash_32"/"_64", "TarpexV01_10", "afuwin" and "afuwinx64".
StandInTool StandInToolOf(const char* stem);

// The tool's name in a profile's "flashers" section; nullptr for Unknown.
const char* ScenarioName(StandInTool tool);

// The files the updater puts beside the tool for it, and their count.
const char* const* GivenFiles(StandInTool tool, size_t* count);

// -120, -110 and -109: the BIOS flasher's verdict on the image, after which it writes nothing.
bool IsVerdict(int32_t exitCode);

struct FlashBlock {
    uint32_t address;
    uint32_t imageOffset;
    uint32_t length;
};

// What the Phoenix flasher writes: each area of the image's flash-area table marked exactly
// 0x22 whose bytes lie inside the image, in table order. Nothing from a broken table.
std::vector<FlashBlock> PhoenixFlashBlocks(const uint8_t* image, size_t size);

// The AMI flasher writes the whole image so that it ends at the top of the 4 GiB space.
FlashBlock AmiFlashBlock(uint32_t size);
