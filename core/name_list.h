// Candidate image or MICOM file names found in the working directory, and the one that fits
// this machine's BIOS version.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr size_t kNameSize = 256;  // 255 characters and the terminator
constexpr size_t kNameSlots = 10;

// Slots fill from the first; the first empty slot ends the list.
struct NameList {
    char slots[kNameSlots][kNameSize];
    uint8_t count;
};

// Puts name into the next slot and counts it. False, with the list unchanged, when the list is
// full or the name (empty or over 255 characters) does not fit a slot.
bool AddListedName(NameList* list, const char* name);

// Characters 3 and 4 of name against characters 3 and 4 of the version, ignoring case. Only
// the version's first 4 characters count; a version shorter than that matches nothing.
bool NameMatchesVersion(const char* name, const char* version);

// Slot of the name to take: the only one when the list counts exactly one name (not compared),
// else the first that matches the version; -1 when none does.
int ChooseListedName(const NameList& list, const char* version);
