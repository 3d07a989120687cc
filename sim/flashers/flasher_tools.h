// The stand-in flashers' pure half: which tool a stand-in plays, by the name it was started
// under, what it is given and what it writes to the flash.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
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

// The command line split as msvcrt.dll's start-up code splits it for main's argv: the program
// name first (up to the closing quote when it opens with one, else up to a blank or tab), then
// each argument: blanks and tabs between them; a quote opens or closes quoting and is dropped;
// within quotes "" gives one quote and ends the quoting; 2n backslashes before a quote give n and
// the quote acts, 2n+1 give n and a literal quote; other backslashes stay as they are.
std::vector<std::string> SplitAsMsvcrt(const char* line);

struct RefusedArgument {
    std::string argument;
    const char* why;
};

// What the tool refuses of its arguments (the program name left out), in their order: a first
// argument that is not its input file, and every switch it cannot parse, a DMI value longer than
// the field it goes into included. Repeated switches are fine.
std::vector<RefusedArgument> RefusedArguments(StandInTool tool, const std::vector<std::string>& arguments);

struct FlashBlock {
    uint32_t address;
    uint32_t imageOffset;
    uint32_t length;
};

// What the Phoenix flasher writes: each area of the image's flash-area table marked exactly
// 0x22 whose bytes lie inside the image, in table order. The table is found by the first "ZFLPF"
// and the first "ZQDS" of the image. Nothing from a broken table (a short header, no terminator
// within 256 entries or before the image's end).
std::vector<FlashBlock> PhoenixFlashBlocks(const uint8_t* image, size_t size);

// Who a BIOS is for: the model (4 characters at the first "DiaG@" + 12) and the part (3 at the
// first "DEVEL" + 5), each "" when its block is missing, cut short at a zero byte. The Phoenix
// flasher refuses (-120) an image whose identity differs from the installed BIOS's.
struct BiosIdentity {
    std::string model, part;
    bool operator==(const BiosIdentity& other) const { return model == other.model && part == other.part; }
};
BiosIdentity IdentityIn(const uint8_t* bytes, size_t size);

// The AMI flasher writes the whole image so that it ends at the top of the 4 GiB space.
FlashBlock AmiFlashBlock(uint32_t size);
