// Hand-made archive bytes for tests that need archives qpack would never write.
#pragma once
#include <cstdint>
#include <string>

std::string Le32(uint32_t value);

// A gzip member of plain, as zlib writes one.
std::string Gzip(const std::string& plain);

// An entry: the 260-byte name field, the member's size, the member.
std::string Entry(const std::string& name, const std::string& member);

// "LPCK", flags, count, then the entries as given.
std::string Archive(uint32_t flags, uint32_t count, const std::string& entries);
