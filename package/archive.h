// The packed-file archive behind the program image.
#pragma once
#include <cstdint>

// Reads the archive offset from the dword at file offset 0x28: 0, or 6 when the file will not open.
uint32_t ReadArchiveOffset(const char* path, uint32_t* offset);

// Checks the archive magic and loads the package flags word into RunFlags: 0, 4 or 6.
uint32_t ReadPackageHeader(const char* path, uint32_t offset);

// Extracts "addmem.sys" into TEMP: 1 when extracted, else 0.
int ExtractAccessDriverFile(void);
