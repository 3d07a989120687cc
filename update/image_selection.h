// The BIOS image that matches the machine, and its flash-area table.
#pragma once
#include <cstdint>

// Lists the *.wph files: 0, or 0x8000000b when there is none.
uint32_t FindBiosImages(void);

// Chooses the image and the MICOM file: 0 or the failing result code.
uint32_t SelectBiosImage(void);

// 1 when it marked the last flash area, else 0.
int PrepareFlashAreas(void);
