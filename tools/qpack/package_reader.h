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

struct DosPackageEntry {
    std::string name;
    uint32_t size;
};

struct PackageContents {
    uint32_t archiveOffset;
    uint32_t flags;
    std::vector<PackageEntry> entries;
    uint64_t archiveEnd;  // behind the last entry: where a signature may follow
    bool hasDosPackage;
    uint32_t dosOffset;
    std::vector<DosPackageEntry> dosEntries;
    // The archive against the digest in the program's headers: "" when it matches, else why not.
    std::string digestFault;
    bool digestWritten;  // false: the headers hold none (zeros), which the updater refuses too
};

// Reads the archive behind a package with the updater's own safety rules, and the DOS package
// behind it, if any, with the DOS unpacker's; an empty text, or the first fault found.
std::string ReadPackage(const std::string& path, PackageContents* contents);

// Inflates every entry as the updater does (one gzip member or several back to back, anything
// after a whole member that starts none left unread) and checks each member's CRC-32 and
// length; an empty text or the first fault.
std::string VerifyPackage(const std::string& path);

// The name the updater writes an entry under: its stored name without ".gz".
std::string PlainName(const std::string& storedName);

// The plain bytes of one entry of the package at path, inflated whole into *data; "" or the fault.
std::string ReadEntryData(const std::string& path, const PackageEntry& entry, std::string* data);

struct ExtractReport {
    std::vector<std::string> written;   // every file written
    std::vector<std::string> replaced;  // those of them that replaced a file of that name
    std::string digestFault;            // the archive does not match its digest (extracted by force)
};

// Writes the plain files into directory (all, or those whose plain name is in names, letter
// case ignored). A package whose archive does not match its digest is refused unless force.
// Each is inflated into a new temporary file beside its target and renamed over it once whole:
// an entry that fails to inflate leaves nothing, not even over a file of its name; a target that
// is the package itself is refused.
std::string ExtractEntries(const std::string& path, const std::string& directory,
                           const std::vector<std::string>& names, bool force, ExtractReport* report);
