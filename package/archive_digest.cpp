#include "package/archive_digest.h"

#include <cstring>

#include "core/sha256.h"

bool DigestArchive(ReadAtFn read, void* context, uint64_t offset, uint64_t fileSize,
                   uint8_t digest[kArchiveDigestSize], uint64_t* archiveEnd) {
    ArchiveHeader header = {};
    uint32_t sound = ValidateArchive(read, context, offset, fileSize, &header);
    if (sound != kArchiveOk && sound != kArchiveEmpty) return false;
    uint64_t end = offset + kArchiveHeaderSize;
    for (uint32_t i = 0; i < header.count; ++i) {
        EntryHeader entry;
        uint64_t member = 0;
        if (!ReadEntryAt(read, context, fileSize, &end, &entry, &member)) return false;
    }
    Sha256 hash;
    Sha256Begin(&hash);
    // Large reads: the digest is a pass over the whole archive before anything is unpacked.
    static uint8_t chunk[1 << 20];
    for (uint64_t at = offset; at < end;) {
        size_t n = end - at < sizeof chunk ? static_cast<size_t>(end - at) : sizeof chunk;
        if (!read(context, at, chunk, n)) return false;
        Sha256Add(&hash, chunk, n);
        at += n;
    }
    uint8_t whole[kSha256Size];
    Sha256End(&hash, whole);
    memcpy(digest, whole, kArchiveDigestSize);
    if (archiveEnd != nullptr) *archiveEnd = end;
    return true;
}

bool CarriesDigest(const uint8_t expected[kArchiveDigestSize]) {
    static const uint8_t kNone[kArchiveDigestSize] = {};
    return memcmp(expected, kNone, kArchiveDigestSize) != 0;
}

const char* CheckArchiveDigest(ReadAtFn read, void* context, uint64_t offset, uint64_t fileSize,
                               const uint8_t expected[kArchiveDigestSize], uint64_t* archiveEnd) {
    if (!CarriesDigest(expected)) return "it carries no archive digest";
    uint8_t digest[kArchiveDigestSize];
    if (!DigestArchive(read, context, offset, fileSize, digest, archiveEnd)) return "its archive is not sound";
    if (memcmp(digest, expected, kArchiveDigestSize) != 0) return "its archive is not the one it was built with";
    return nullptr;
}

const char* JudgeArchive(ReadAtFn read, void* context, uint64_t offset, uint64_t end,
                         const uint8_t digest[kArchiveDigestSize], const uint8_t expected[kArchiveDigestSize]) {
    if (!CarriesDigest(expected)) return "it carries no archive digest";
    ArchiveHeader header = {};
    uint32_t sound = ValidateArchive(read, context, offset, end, &header);
    if (sound != kArchiveOk && sound != kArchiveEmpty) return "its archive is not sound";
    if (memcmp(digest, expected, kArchiveDigestSize) != 0) return "its archive is not the one it was built with";
    return nullptr;
}
