// Checks before anything is unpacked: power supply and free disk space.
#pragma once
#include <cstdint>

// 0, or 0x80000010, 0x80000011, 0x80000012.
uint32_t CheckSystemPower(void);

// 1 when there is room; 0 after showing its own message.
int CheckDiskSpace(void);
