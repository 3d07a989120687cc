// The package's own programs, libraries and drivers, held unchanged while this elevated run
// starts or loads them: TEMP belongs to the user, and any process of the user could swap a file
// between its unpacking and its use.
#pragma once
#include <windows.h>

#include <cstddef>

#include "core/run_context.h"

constexpr size_t kMaxHeldFiles = 64;

struct CodeHold {
    HANDLE files[kMaxHeldFiles];
    size_t count;
    char refused[kPathSize];  // the file found not to be the package's own
};

// Opens name in the current directory for reading, sharing only reading, so that nobody can
// write, rename or delete it while it is held, and adds it to hold when it holds byte for byte
// what the package at the given path unpacks to under that name. False, with name in
// hold->refused, when it is missing, a link, held for writing by someone else, different, or
// one too many.
bool HoldPackagedFile(const char* package, const char* name, CodeHold* hold);

// Holds every program, library and driver in the current directory, each checked against the
// package file it was unpacked from (the generic flasher names against the 64-bit or 32-bit
// files). False, with nothing held, when any one is not the package's own.
bool HoldPackageCode(const char* package, bool wow64, CodeHold* hold);

// Lets go of every file held; hold->refused stays as it was.
void ReleaseCodeHold(CodeHold* hold);
