// Everything of the package a flasher or this elevated run starts, loads or reads, held unchanged
// from its check until its use is over: no file may be swapped between its unpacking or placing
// and its use.
#pragma once
#include <windows.h>

#include <cstddef>

#include "core/run_context.h"
#include "core/sha256.h"

constexpr size_t kMaxHeldFiles = 64;

struct CodeHold {
    HANDLE files[kMaxHeldFiles];
    size_t count;
    char refused[kPathSize];  // the file found not to be the package's own
};

// Opens name in the current directory for reading, sharing only reading, so that nobody can
// write, rename or delete it while it is held, and adds it to hold when it holds byte for byte
// what the package unpacks to under that name. False, with name in
// hold->refused, when it is missing, a link, held for writing by someone else, different, or
// one too many.
bool HoldPackagedFile(HANDLE package, const char* name, CodeHold* hold);

// Holds every input of a flasher in the current directory: each program, library, driver and
// ".ini" file checked against the package file it was unpacked from (the generic flasher names
// against the 64-bit or 32-bit files), and "bios.wph", "bios.rom" and "kbc.bin" against what the
// program placed there (a copy that was never placed is refused). False, with nothing held, when
// any one is not as it must be.
bool HoldFlasherInputs(HANDLE package, bool wow64, CodeHold* hold);

// Copies the package's file source (in the current directory) to target, one of "bios.wph",
// "bios.rom" and "kbc.bin", checks the copy against the package and records what it holds.
// False, after a log line, when the copy failed or is not as packed.
bool PlacePackedCopy(HANDLE package, const char* source, const char* target);

// Records what the program has just written under name (one of the names above), for the hold.
void RecordPlacedInput(const char* name, const uint8_t digest[kSha256Size]);

// Lets go of every file held; hold->refused stays as it was.
void ReleaseCodeHold(CodeHold* hold);
