// The firmware tables of the simulated notebook's BIOS segment, as bytes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct SmbiosStructure {
    uint8_t type;
    std::vector<uint8_t> formatted;  // after the 4-byte header
    std::vector<std::string> strings;
};

// The structures back to back, handles counted from 0, each string set ended by two zero bytes
// (an empty set is just those two); with endMarker a type-127 structure closes the table.
std::vector<uint8_t> BuildSmbiosTable(const std::vector<SmbiosStructure>& structures, bool endMarker);

// The 15-byte legacy "_DMI_" entry point, with its checksum.
std::vector<uint8_t> BuildDmiEntryPoint(uint32_t tableAddress, uint16_t tableLength, uint16_t count);

// Where an SMBIOS entry point, as Linux shows it in /sys/firmware/dmi/tables/smbios_entry_point,
// says its structure table lies: a 3.0 "_SM3_" (64-bit address, no "_DMI_"), a 2.x "_SM_" with
// its "_DMI_" at offset 16, or a lone legacy "_DMI_". False for anything else or one too short
// for its address.
bool SmbiosTableAddress(const std::vector<uint8_t>& entry, uint64_t* address);

struct SwSmiBlock {
    uint16_t port;
    uint8_t trigger, prepare, finish;
    uint32_t mailboxAddress;  // placed as segment (address / 16) and offset (address % 16)
    uint8_t revision;
};

// The 17-byte "SwSmi@" block.
std::vector<uint8_t> BuildSwSmiBlock(const SwSmiBlock& block);
