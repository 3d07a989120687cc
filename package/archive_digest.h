// The package's proof of itself: a digest of its archive, kept in the program's own headers.
//
// The 16 bytes at file offset 0x2C, beside the archive offset, hold the first half of the
// SHA-256 of the archive from its offset to the end of its last entry. Whatever follows the last
// entry (a signature appended later) stays outside.
#pragma once
#include <cstddef>
#include <cstdint>

#include "package/archive_format.h"

constexpr size_t kArchiveDigestField = 0x2C;
constexpr size_t kArchiveDigestSize = 16;

// The digest of the sound archive at offset; false when the archive is not sound. archiveEnd,
// when given, gets where its last entry ends.
bool DigestArchive(ReadAtFn read, void* context, uint64_t offset, uint64_t fileSize,
                   uint8_t digest[kArchiveDigestSize], uint64_t* archiveEnd = nullptr);

// nullptr when the archive at offset has the expected digest, else why not: a digest of zeros
// (no package builder wrote one), an archive that is not sound, or one that is not the same.
const char* CheckArchiveDigest(ReadAtFn read, void* context, uint64_t offset, uint64_t fileSize,
                               const uint8_t expected[kArchiveDigestSize], uint64_t* archiveEnd = nullptr);

// Whether the headers carry a digest at all: zeros are what a package builder never wrote.
bool CarriesDigest(const uint8_t expected[kArchiveDigestSize]);

// The same judgement on an archive whose digest was taken as it was copied: nullptr when the
// copy, read through read, is sound from offset up to end and digest is the expected one.
const char* JudgeArchive(ReadAtFn read, void* context, uint64_t offset, uint64_t end,
                         const uint8_t digest[kArchiveDigestSize], const uint8_t expected[kArchiveDigestSize]);
