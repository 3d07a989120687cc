// The machine's identity from the firmware tables and the software-SMI mailbox; CMOS.
#pragma once
#include <cstdint>

// The "SwSmi@" block, as copied from the BIOS segment.
struct SwSmiInterface {
    uint8_t bytes[17];
};

// Physical address of the first SMBIOS structure of that type; 0 when the table has none
// (the walk ends at the end-of-table structure, the table's length or its structure count).
uint64_t SearchDMIBlock(uint8_t type);

// Whether the firmware service is present (revision 0x24 or more); fills *found.
bool FindSwSmiInterface(SwSmiInterface* found);

// Runs command through the mailbox; buffer (16 bytes) receives the output. False when the
// firmware did not answer within kSwSmiWaitMs.
constexpr unsigned kSwSmiWaitMs = 1000;
bool CallSwSmi(const SwSmiInterface& smi, uint16_t command, uint8_t* buffer, uint32_t inputLength);

// Fills the current identity texts: 0, 0x80000005 without the driver, 0x8000000b when the
// BIOS segment has no "DEVEL" or "DiaG@" block to identify the machine by.
uint32_t ReadFirmwareIdentity(void);

// Zeroes CMOS 0x20-0x7F of the first bank and all of the second: 0 or 0x80000005.
uint32_t ClearCmos(void);
