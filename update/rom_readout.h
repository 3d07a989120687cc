// The service mode that saves the installed BIOS ROM instead of updating it.
#pragma once
#include <cstdint>

// Copies the top 1 MiB of the 4 GiB space, where the flash part is mapped, into the file, which
// then holds exactly those 1,048,576 bytes (a longer file left from before is cut). 0; or, with
// a log line and no file left behind, 0x80000005 when the driver is missing or a read is
// refused, 0x8000000f when the file cannot be created or written.
uint32_t ReadBiosRom(const char* fileName);
