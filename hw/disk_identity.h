// ATA security state of the physical drives.
#pragma once
#include <cstdint>

// Bit i set when physical drive i (0-3) is a fixed drive with ATA security enabled.
uint32_t CheckHddPassword(void);
