// The AMI image of the package: which "*.rom" file is flashed on this machine (and which MICOM
// file goes with it), and what its "$FID" block says against the installed BIOS.
#pragma once
#include <cstdint>

// Lists the "*.rom" files; a single one is copied to "bios.rom" at once. 0, or 0x8000000b when
// there is none.
uint32_t FindAmiImages(void);

// Copies the image for the current BIOS version to "bios.rom", then the MICOM file to "kbc.bin"
// unless the run skips the MICOM update. Names are matched on the version key of an AMI BIOS.
// 0, 0x8000000b or 0x8000000c.
uint32_t SelectAmiImage(void);

// The build number of the file's "$FID" block: 0 without a block, kNotFound when the file
// cannot be opened or mapped.
uint32_t ReadFidBuildNumber(const char* fileName);

// The part number of the file's "$FID" block into part (4 bytes, left as it was without a
// block): 0, or kNotFound when the file cannot be opened or mapped.
uint32_t ReadFidPartNumber(const char* fileName, char* part);

// The installed part number against "bios.rom"'s: 0 when they are the same; 0x80000007, with
// both kept for the message, when they differ; 0x80000005 when the BIOS has none or the driver
// is missing; kNotFound when "bios.rom" cannot be read.
uint32_t ComparePartNumbers(void);
