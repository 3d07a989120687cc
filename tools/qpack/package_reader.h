// Reading a package: its entries, their soundness, and extraction into a directory.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct PackageEntry {
    std::string storedName;
    uint64_t memberOffset;
    uint32_t packedSize;
    uint32_t plainSize;  // from the member's trailer
    uint32_t crc;        // from the member's trailer
};

struct PackageContents {
    uint32_t archiveOffset;
    uint32_t flags;
    std::vector<PackageEntry> entries;
};

// Reads the archive behind a package with the updater's own safety rules; an empty text, or
// the first fault found.
std::string ReadPackage(const std::string& path, PackageContents* contents);

// Inflates every member and checks its CRC-32 and length; an empty text or the first fault.
std::string VerifyPackage(const std::string& path);

// Writes the plain files into directory (all, or those whose plain name is in names, letter
// case ignored); a member that fails to inflate leaves no file behind.
std::string ExtractEntries(const std::string& path, const std::string& directory,
                           const std::vector<std::string>& names, std::vector<std::string>* written);
