// The packed-file archive appended behind the program image, as bytes.
//
//   archive: "LPCK", package flags word, entry count, then the entries back to back
//   entry:   260-byte NUL-padded name ending in ".gz", gzip size, gzip member
// All integers are unsigned 32-bit little-endian. The dword at file offset 0x28 of the program
// file holds the archive's offset.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr uint32_t kArchiveMagic = 0x4B43504C;  // "LPCK"
constexpr size_t kArchiveOffsetField = 0x28;
constexpr size_t kProgramHeadSize = 64;  // what is read to find the offset field
constexpr size_t kArchiveHeaderSize = 12;
constexpr size_t kEntryNameSize = 260;
constexpr size_t kEntryHeaderSize = 264;

// Archive result codes, with the texts the program keeps for them.
enum : uint32_t {
    kArchiveOk = 0,
    kArchiveEmpty = 1,
    kArchiveBadPath = 2,
    kArchiveCannotCreate = 3,
    kArchiveInvalid = 4,
    kArchiveMemberFailed = 5,
    kArchiveCannotOpen = 6,
};
const char* ArchiveResultText(uint32_t code);

uint32_t ReadLe32(const uint8_t* bytes);
void WriteLe32(uint8_t* bytes, uint32_t value);

struct ArchiveHeader {
    uint32_t magic;
    uint32_t flags;
    uint32_t count;
};
ArchiveHeader DecodeArchiveHeader(const uint8_t bytes[kArchiveHeaderSize]);
void EncodeArchiveHeader(const ArchiveHeader& header, uint8_t bytes[kArchiveHeaderSize]);

struct EntryHeader {
    char name[kEntryNameSize];  // always NUL-terminated after decoding
    uint32_t gzipSize;
};
// False when the name field holds no NUL.
bool DecodeEntryHeader(const uint8_t bytes[kEntryHeaderSize], EntryHeader* entry);
void EncodeEntryHeader(const EntryHeader& entry, uint8_t bytes[kEntryHeaderSize]);

// Whether name ends in the member suffix ".gz", in lower case as the packager writes it, behind
// a non-empty name. The archive check and the inflation of a member go by this one rule.
bool HasGzipSuffix(const char* name);

// A stored name is safe when it is a plain file name in the current directory: printable ASCII,
// no path separator, drive colon or "..", no character Windows refuses, no reserved device
// name, no trailing dot or blank, and the member suffix.
bool IsSafeStoredName(const char* name);

// Whether stored begins with wanted, letter case ignored over wanted's length.
bool StoredNameMatches(const char* stored, const char* wanted);

// Whether stored is plain with the member suffix behind it, letter case ignored.
bool StoredNameIs(const char* stored, const char* plain);

// Reads n bytes at offset of the file that holds the archive; false on a short read.
typedef bool (*ReadAtFn)(void* context, uint64_t offset, uint8_t* bytes, size_t n);

// Reads the entry header at *position and moves *position past its member; *member is where
// the member starts. False when the header does not lie within fileSize or cannot be read.
bool ReadEntryAt(ReadAtFn read, void* context, uint64_t fileSize, uint64_t* position,
                 EntryHeader* entry, uint64_t* member);

// Walks every entry header from offset (the archive's start) and checks the archive before
// anything is extracted: magic, that every header and member lies within fileSize, that
// every name is safe and that every member starts as a gzip member. Fills *header when the
// archive header could be read. Returns kArchiveOk, kArchiveEmpty or kArchiveInvalid.
uint32_t ValidateArchive(ReadAtFn read, void* context, uint64_t offset, uint64_t fileSize,
                         ArchiveHeader* header);
