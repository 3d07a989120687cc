// The program's own package file: opened once at the start, proven against the digest in the
// program's loaded headers, and from then on the only way anything of the package is read. The
// file is held sharing only reading, so that it can be neither changed nor deleted, and a file
// put at its path later (a running program can be renamed) is never read.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

// Opens the file the program was started from into g_run.package and checks its archive against
// the offset and digest in the program's own headers, as loaded. 0, or 0x8000000e after a log
// line that says why; nothing is open then.
uint32_t OpenOwnPackage(void);

// Reads n bytes at offset of the package file given as context (a HANDLE); false on a short
// read.
bool ReadPackageAt(void* package, uint64_t offset, uint8_t* bytes, size_t n);

// Moves the package file's position to offset.
bool SeekPackage(HANDLE package, uint64_t offset);

// The package file's size; 0 when it cannot be read.
uint64_t PackageFileSize(HANDLE package);
