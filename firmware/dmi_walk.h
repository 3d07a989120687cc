// The SMBIOS (DMI) structure table as the identity read walks it, over physical memory reached
// through a read function: no windows.h, so that the walk runs natively and is fuzzed.
#pragma once
#include <cstddef>
#include <cstdint>

// Fills out with length bytes of physical memory at address; bytes it cannot read stay as given.
struct DmiMemory {
    void (*read)(void* context, uint64_t address, uint32_t length, uint8_t* out);
    void* context;
};

// Physical address of the first structure of that type in the table that the legacy "_DMI_"
// entry point at entry describes; 0 when the table has none (the walk ends at the end-of-table
// structure, the table's length or its structure count, whichever comes first).
uint64_t FindDmiStructure(const DmiMemory& memory, uint64_t entry, uint8_t type);

// The same through a 3.0 "_SM3_" entry point, which newer firmware offers alone: a 64-bit table
// address and the table's maximum size, no structure count.
uint64_t FindSmbios3Structure(const DmiMemory& memory, uint64_t entry, uint8_t type);

// String number (from 1) of the structure at s into out (size bytes, at least 32): read as 32
// bytes and cut to 31 characters; the strings before it are skipped by their whole length,
// however long. A number the string set does not reach (0 included) reads as empty, never from
// the next structure.
void ReadDmiString(const DmiMemory& memory, uint64_t s, int number, char* out, size_t size);

// The string number in the System Information structure's serial field; 0 (none) when the
// structure is too short to have one.
int DmiSerialStringNumber(const DmiMemory& memory, uint64_t s);
