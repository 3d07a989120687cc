// The program's own package file, read once at the start and proven against the digest in the
// program's loaded headers. Where the run already has a place of its own, the file's bytes are
// copied into it in that one read and only the copy is used from then on: the user's file may
// still change afterwards (through a view mapped before it was opened), the copy cannot.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

// Reads the file the program was started from once, through one handle: its SHA-256 into
// g_run.packageSha256 and, with copyIntoPlace, everything up to the archive's end into a file of
// the current directory (the working place) that goes when the process ends. The archive is
// judged on what was copied (or read) against the offset and digest in the program's own headers,
// as loaded; g_run.package is then the copy, or without one the file held sharing only reading.
// 0; 0x8000000e after a log line that says why the package is refused; 0x8000000f when the copy
// cannot be written. Nothing is open or left then.
uint32_t OpenOwnPackage(bool copyIntoPlace);

// Reads n bytes at offset of the package file given as context (a HANDLE); false on a short
// read.
bool ReadPackageAt(void* package, uint64_t offset, uint8_t* bytes, size_t n);

// Moves the package file's position to offset.
bool SeekPackage(HANDLE package, uint64_t offset);
