#include "update/flash_area_table.h"

#include <algorithm>
#include <cstring>

#include "core/run_flags.h"

namespace {

constexpr size_t kHeaderSize = 61;
constexpr size_t kHeaderFirstEntry = 53;  // u32: distance from the table base to entry 0
constexpr size_t kLength = 0, kImageOffset = 4, kFlashAddress = 8, kAttribute = 14;
constexpr uint16_t kAttributeWrite = 0x22;

uint32_t Get32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

void Put32(uint8_t* p, uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

void Put16(uint8_t* p, uint16_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}

// Positions of "ZFLPF" and "ZQDS" at or after start; false unless both turn up.
bool FindSignatures(const uint8_t* image, size_t size, size_t start, size_t* zflpf, size_t* zqds) {
    bool haveZflpf = false, haveZqds = false;
    for (size_t p = start; p + 5 < size && !(haveZflpf && haveZqds); ++p) {
        if (memcmp(image + p, "ZFLPF", 5) == 0) {
            *zflpf = p;
            haveZflpf = true;
        }
        if (memcmp(image + p, "ZQDS", 4) == 0) {
            *zqds = p;
            haveZqds = true;
        }
    }
    return haveZflpf && haveZqds;
}

// The ESCD block starts inside a 64 KiB block: flash the whole block, from its boundary.
void WidenToBlock(uint8_t* entry) {
    uint32_t low = Get32(entry + kImageOffset) & 0xFFFF;
    Put32(entry + kImageOffset, Get32(entry + kImageOffset) - low);
    Put32(entry + kLength, Get32(entry + kLength) + low);
    Put32(entry + kFlashAddress, Get32(entry + kFlashAddress) - low);
    Put16(entry + kAttribute, kAttributeWrite);
}

bool IsTerminator(const uint8_t* entry) {
    return Get32(entry + kLength) == 0 && Get32(entry + kImageOffset) == 0 &&
           Get32(entry + kFlashAddress) == 0 && Get16(entry + kAttribute) == 0;
}

// Offset of entry 0: the scan starts at 0x80000 in an image under 1 MiB, else at 1 MiB.
bool FindFirstEntry(const uint8_t* image, size_t size, uint64_t* first) {
    size_t zflpf = 0, zqds = 0;
    if (!FindSignatures(image, size, size < 0x100000 ? 0x80000 : 0x100000, &zflpf, &zqds) ||
        size - zflpf < kHeaderSize) {
        return false;
    }
    *first = std::min(zflpf, zqds) + uint64_t{Get32(image + zflpf + kHeaderFirstEntry)};
    return true;
}

}  // namespace

bool ReadFlashAreas(const uint8_t* image, size_t size, FlashArea* areas, size_t* count) {
    *count = 0;
    uint64_t first = 0;
    if (!FindFirstEntry(image, size, &first)) return false;
    for (size_t i = 0; i < kMaxFlashAreas; ++i) {
        uint64_t at = first + i * kFlashAreaEntrySize;
        if (at + kFlashAreaEntrySize > size) return false;
        const uint8_t* entry = image + at;
        if (IsTerminator(entry)) return true;
        areas[(*count)++] = {Get32(entry + kLength), Get32(entry + kImageOffset),
                             Get32(entry + kFlashAddress), Get16(entry + kAttribute)};
    }
    return false;
}

bool KeepsOnlyDmiArea(uint32_t runFlags) {
    return (runFlags & kFlagDmiOnly) && !(runFlags & (kFlagMarkLastArea | kFlagBreakEscd));
}

int EditFlashAreaTable(uint8_t* image, size_t size, uint32_t runFlags, uint8_t dmiBlockIndex,
                       FlashAreaChanges* changes) {
    changes->count = 0;
    size_t target = size < 0x100000 ? 0 : 8;
    uint64_t first = 0;
    if (!FindFirstEntry(image, size, &first)) return 0;

    // The edits go to a copy first: the image changes only once a terminator shows the table
    // whole, so a broken table is flashed as delivered rather than half edited.
    uint8_t table[kMaxFlashAreas][kFlashAreaEntrySize];
    size_t terminator = kMaxFlashAreas;
    for (size_t i = 0; i < kMaxFlashAreas && terminator == kMaxFlashAreas; ++i) {
        uint64_t at = first + i * kFlashAreaEntrySize;
        if (at + kFlashAreaEntrySize > size) return 0;
        uint8_t* entry = table[i];
        memcpy(entry, image + at, kFlashAreaEntrySize);
        // Widened, the terminator would stop ending the table.
        if (i == target && (runFlags & kFlagBreakEscd) && !IsTerminator(entry)) WidenToBlock(entry);
        if (KeepsOnlyDmiArea(runFlags) && i != dmiBlockIndex) Put16(entry + kAttribute, 0);
        if (IsTerminator(entry)) terminator = i;
    }
    if (terminator == kMaxFlashAreas) return 0;

    int marked = 0;
    if (terminator > 0 && (runFlags & kFlagMarkLastArea)) {
        Put16(table[terminator - 1] + kAttribute, kAttributeWrite);
        marked = 1;
    }
    for (size_t i = 0; i <= terminator; ++i) {
        size_t at = static_cast<size_t>(first + i * kFlashAreaEntrySize);
        if (memcmp(image + at, table[i], kFlashAreaEntrySize) == 0) continue;
        memcpy(image + at, table[i], kFlashAreaEntrySize);
        changes->offsets[changes->count++] = at;
    }
    return marked;
}
