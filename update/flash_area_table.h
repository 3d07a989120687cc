// The flash-area table inside a BIOS image: which blocks the BIOS flasher writes.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr size_t kFlashAreaEntrySize = 16;
constexpr size_t kMaxFlashAreas = 256;  // terminator included: the flasher's index is 8 bits

// File offsets of the entries whose bytes the edit changed, in table order.
struct FlashAreaChanges {
    size_t count;
    size_t offsets[kMaxFlashAreas];
};

// One entry as the table holds it.
struct FlashArea {
    uint32_t length;
    uint32_t imageOffset;
    uint32_t flashAddress;
    uint16_t attribute;  // 0x22: write this block
};

// The entries before the terminator into areas (room for kMaxFlashAreas), found as the edit
// finds them. False, with *count meaningless, when the table is missing, its header short or
// no terminator is in reach.
bool ReadFlashAreas(const uint8_t* image, size_t size, FlashArea* areas, size_t* count);

// A DMI-only package (0x1000) writes the image's DMI area alone, unless 0x8 or 0x100 ask for other
// areas too. The bits the run adds itself (0x10 on an EC that arms power-on itself, 0x20 of
// NO_MESSAGEBOX, 0x40000 ...) and /MODE's 0x200 and 0x800, which only say how the DMI values
// reach the flasher, leave it so.
bool KeepsOnlyDmiArea(uint32_t runFlags);

// Edits the table in image as the run flags ask: BREAK_ESCD (0x100) widens the target entry,
// unless it is the terminator, down to its 64 KiB boundary and marks it, flags that keep only the
// DMI area unmark every entry but dmiBlockIndex (an entry so left all zero ends the table), and 0x8 marks
// the last entry before the terminator. Returns 1 when it marked the last entry, else 0. A
// missing signature, a short header or a table with no terminator in reach leaves the image as
// it is.
int EditFlashAreaTable(uint8_t* image, size_t size, uint32_t runFlags, uint8_t dmiBlockIndex,
                       FlashAreaChanges* changes);
