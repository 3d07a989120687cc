// Names of the package flags word's bits, for the people who build packages.
#pragma once
#include <cstdint>
#include <string>

// Parses "0x8", "MARK_LAST_AREA,CLEAR_CMOS", "8" or a mix; false with *error set when a part
// is neither a number nor a known name.
bool ParseFlags(const std::string& text, uint32_t* flags, std::string* error);

// "MARK_LAST_AREA|CLEAR_CMOS", with unnamed bits in hex; "none" for 0.
std::string DescribeFlags(uint32_t flags);

// One line per name: "  NAME  0xBIT  what it does".
std::string FlagHelp();
