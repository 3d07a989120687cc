// A whole file mapped read-only, for the scans over BIOS image files.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

struct MappedFile {
    HANDLE file;
    HANDLE mapping;
    const uint8_t* data;
    size_t size;
};

// Opens the file (others may read it meanwhile) and maps all of it. False, with nothing left
// open, when it cannot be opened or mapped; an empty file cannot be mapped.
bool MapWholeFile(const char* name, MappedFile* mapped);

void UnmapWholeFile(MappedFile* mapped);
