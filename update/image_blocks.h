// Blocks a BIOS image records about itself, found by their signatures: the new model and part
// numbers (in the "newSys.bin" the BIOS flasher leaves) and the flash area of the DMI data.
#pragma once
#include <cstddef>
#include <cstdint>

struct NewImageIdentity {
    bool hasModel;
    bool hasPart;
    char modelNumber[5];  // 4 characters from "DiaG@" + 12
    char partNumber[4];   // 3 characters from "DEVEL" + 5
};

// Scans from offset 0 up to 0x7FFD8 (data under 1 MiB) or 0xFFFD8, testing "DiaG@" and then
// "DEVEL" at each offset; the first "DiaG@" ends the scan, a later "DEVEL" replaces an earlier
// one. A block whose field would run past the end of the data is not taken.
NewImageIdentity ScanNewImageIdentity(const uint8_t* data, size_t size);

// Index of the flash area that holds the DMI data, from the first "BCPSYS" block in the same
// range: its 16-bit word at 0x69 shifted right by 12, less 8 for an image under 1 MiB. False
// when there is no such block or the index comes out below 0.
bool FindDmiBlockIndex(const uint8_t* data, size_t size, uint8_t* index);
