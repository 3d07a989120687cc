// The BIOS image and MICOM file that match the machine, and the image's flash-area table.
#pragma once
#include <cstdint>

// Lists the *.wph files: 0, or 0x8000000b when there is none.
uint32_t FindBiosImages(void);

// Lists the *.bin files, logging each: 0, or 0x8000000c when there is none.
uint32_t FindMicomFiles(void);

// Copies the image for this machine to "bios.wph", then selects the MICOM file: 0, 0x8000000b
// (no image fits) or the MICOM selection's result.
uint32_t SelectBiosImage(void);

// Copies the MICOM file for this machine to "kbc.bin": 0 (also when the run skips the MICOM
// update) or 0x8000000c.
uint32_t SelectMicomFile(void);

// Edits the flash-area table of "bios.wph" as the run flags ask. 1 when it marked the last
// flash area, else 0; a missing "bios.wph" is left alone.
int PrepareFlashAreas(void);
