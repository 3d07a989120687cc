// The BIOS and MICOM flashers run as child processes.
#pragma once
#include <cstdint>

// Lists the *.bin files: 0, or 0x8000000c when there is none.
uint32_t FindMicomFiles(void);

// 0, 0x80000008 or 0x80000013.
uint32_t RunBiosFlasher(const char* command);

// 0 or 0x8000000a; does nothing while RunFlags holds SKIP_UPDATE_MICOM.
uint32_t RunMicomFlasher(const char* command);
