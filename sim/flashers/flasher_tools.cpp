#include "sim/flashers/flasher_tools.h"

#include <cctype>
#include <cstring>

#include "update/flash_area_table.h"

namespace {

constexpr uint16_t kAttributeWrite = 0x22;

bool StartsWithNoCase(const char* text, const char* prefix) {
    for (; *prefix; ++text, ++prefix) {
        if (tolower(static_cast<unsigned char>(*text)) != tolower(static_cast<unsigned char>(*prefix))) {
            return false;
        }
    }
    return true;
}

bool SameNoCase(const char* a, const char* b) { return strlen(a) == strlen(b) && StartsWithNoCase(a, b); }

const char* const kPhoenixFiles[] = {"bios.wph", "PhlashNT.sys", "PhlashLc.dll", "PHLASH.INI"};
const char* const kMicomFiles[] = {"kbc.bin"};
const char* const kAmiFiles[] = {"bios.rom"};

}  // namespace

StandInTool StandInToolOf(const char* stem) {
    if (StartsWithNoCase(stem, "SWinFlash")) return StandInTool::Phoenix;
    if (SameNoCase(stem, "TarpexV01_10")) return StandInTool::Micom;
    if (StartsWithNoCase(stem, "afuwin")) return StandInTool::Ami;
    return StandInTool::Unknown;
}

const char* ScenarioName(StandInTool tool) {
    switch (tool) {
        case StandInTool::Phoenix: return "SWinFlash";
        case StandInTool::Micom: return "TarpexV01_10";
        case StandInTool::Ami: return "afuwin";
        default: return nullptr;
    }
}

const char* const* GivenFiles(StandInTool tool, size_t* count) {
    switch (tool) {
        case StandInTool::Phoenix: *count = 4; return kPhoenixFiles;
        case StandInTool::Micom: *count = 1; return kMicomFiles;
        case StandInTool::Ami: *count = 1; return kAmiFiles;
        default: *count = 0; return nullptr;
    }
}

bool IsVerdict(int32_t exitCode) { return exitCode == -120 || exitCode == -110 || exitCode == -109; }

std::vector<FlashBlock> PhoenixFlashBlocks(const uint8_t* image, size_t size) {
    std::vector<FlashArea> areas(kMaxFlashAreas);
    size_t count = 0;
    std::vector<FlashBlock> blocks;
    if (!ReadFlashAreas(image, size, areas.data(), &count)) return blocks;
    for (size_t i = 0; i < count; ++i) {
        const FlashArea& area = areas[i];
        if (area.attribute == kAttributeWrite && area.length > 0 && area.imageOffset <= size &&
            area.length <= size - area.imageOffset) {
            blocks.push_back({area.flashAddress, area.imageOffset, area.length});
        }
    }
    return blocks;
}

FlashBlock AmiFlashBlock(uint32_t size) { return {static_cast<uint32_t>(0x100000000ull - size), 0, size}; }
