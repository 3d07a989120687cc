#include "package/archive_format.h"

#include <cstring>

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(const char* a, const char* b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

// CON, NUL, COM1 ... name a device whatever extension follows them.
bool IsReservedDevice(const char* name) {
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$",
                                           "CLOCK$"};
    size_t base = strcspn(name, ".");
    while (base > 0 && name[base - 1] == ' ') --base;
    for (const char* device : kDevices) {
        if (strlen(device) == base && EqualNoCase(name, device, base)) return true;
    }
    if (base == 4 && (EqualNoCase(name, "COM", 3) || EqualNoCase(name, "LPT", 3))) {
        return name[3] >= '0' && name[3] <= '9';
    }
    return false;
}

// The first bytes of a gzip member: magic and the deflate method.
const uint8_t kGzipStart[3] = {0x1f, 0x8b, 0x08};
constexpr uint32_t kSmallestGzipMember = 18;  // 10-byte header, empty block, 8-byte trailer

}  // namespace

const char* ArchiveResultText(uint32_t code) {
    switch (code) {
        case kArchiveOk: return "Success";
        case kArchiveEmpty: return "Archive empty; no files to extract";
        case kArchiveBadPath: return "Error in supplied Path";
        case kArchiveCannotCreate: return "Could not create output archive file";
        case kArchiveInvalid: return "Not a valid packed file";
        case kArchiveMemberFailed: return "Failed while extracting one of the files";
        case kArchiveCannotOpen: return "Input archive file failed to open";
        default: return "Unknown result";
    }
}

uint32_t ReadLe32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

void WriteLe32(uint8_t* bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

ArchiveHeader DecodeArchiveHeader(const uint8_t bytes[kArchiveHeaderSize]) {
    return ArchiveHeader{ReadLe32(bytes), ReadLe32(bytes + 4), ReadLe32(bytes + 8)};
}

void EncodeArchiveHeader(const ArchiveHeader& header, uint8_t bytes[kArchiveHeaderSize]) {
    WriteLe32(bytes, header.magic);
    WriteLe32(bytes + 4, header.flags);
    WriteLe32(bytes + 8, header.count);
}

bool DecodeEntryHeader(const uint8_t bytes[kEntryHeaderSize], EntryHeader* entry) {
    if (memchr(bytes, 0, kEntryNameSize) == nullptr) return false;
    memcpy(entry->name, bytes, kEntryNameSize);
    entry->gzipSize = ReadLe32(bytes + kEntryNameSize);
    return true;
}

void EncodeEntryHeader(const EntryHeader& entry, uint8_t bytes[kEntryHeaderSize]) {
    memset(bytes, 0, kEntryNameSize);
    size_t length = strnlen(entry.name, kEntryNameSize - 1);
    memcpy(bytes, entry.name, length);
    WriteLe32(bytes + kEntryNameSize, entry.gzipSize);
}

bool HasGzipSuffix(const char* name) {
    size_t length = strlen(name);
    return length > 3 && strcmp(name + length - 3, ".gz") == 0;
}

bool IsSafeStoredName(const char* name) {
    size_t length = strnlen(name, kEntryNameSize);
    if (length >= kEntryNameSize || !HasGzipSuffix(name)) return false;
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || c > 0x7e || strchr("\\/:*?\"<>|", c) != nullptr) return false;
    }
    if (strstr(name, "..") != nullptr) return false;
    char last = name[length - 4];  // the plain name's last character
    if (last == '.' || last == ' ') return false;
    return !IsReservedDevice(name);
}

bool StoredNameMatches(const char* stored, const char* wanted) {
    size_t n = strlen(wanted);
    return strnlen(stored, n) == n && EqualNoCase(stored, wanted, n);
}

bool StoredNameIs(const char* stored, const char* plain) {
    size_t n = strlen(plain);
    return StoredNameMatches(stored, plain) && strcmp(stored + n, ".gz") == 0;
}

bool ReadEntryAt(ReadAtFn read, void* context, uint64_t fileSize, uint64_t* position,
                 EntryHeader* entry, uint64_t* member) {
    uint8_t bytes[kEntryHeaderSize];
    if (*position + kEntryHeaderSize > fileSize || !read(context, *position, bytes, sizeof bytes) ||
        !DecodeEntryHeader(bytes, entry)) {
        return false;
    }
    *member = *position + kEntryHeaderSize;
    *position = *member + entry->gzipSize;
    return true;
}

uint32_t ValidateArchive(ReadAtFn read, void* context, uint64_t offset, uint64_t fileSize,
                         ArchiveHeader* header) {
    uint8_t head[kArchiveHeaderSize];
    if (offset == 0 || offset + kArchiveHeaderSize > fileSize ||
        !read(context, offset, head, sizeof head)) {
        return kArchiveInvalid;
    }
    *header = DecodeArchiveHeader(head);
    if (header->magic != kArchiveMagic) return kArchiveInvalid;
    if (header->count == 0) return kArchiveEmpty;

    uint64_t position = offset + kArchiveHeaderSize;
    for (uint32_t i = 0; i < header->count; ++i) {
        EntryHeader entry;
        uint64_t member = 0;
        if (!ReadEntryAt(read, context, fileSize, &position, &entry, &member) ||
            !IsSafeStoredName(entry.name)) {
            return kArchiveInvalid;
        }
        uint8_t start[sizeof kGzipStart];
        if (entry.gzipSize < kSmallestGzipMember || position > fileSize ||
            !read(context, member, start, sizeof start) ||
            memcmp(start, kGzipStart, sizeof start) != 0) {
            return kArchiveInvalid;
        }
    }
    return kArchiveOk;
}
