#include "package/archive.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "core/run_context.h"
#include "package/archive_format.h"
#include "package/gunzip.h"
#include "package/member_inflate.h"
#include "package/package_file.h"

namespace {

constexpr DWORD kCopyChunk = 4096;
constexpr size_t kCompareChunk = 4096;

bool ReadExactly(HANDLE file, void* bytes, DWORD n) {
    DWORD got = 0;
    return ReadFile(file, bytes, n, &got, nullptr) && got == n;
}

// Copies the member at offset into a file of the entry's name, then inflates it from there.
// False when a file cannot be created or written; no ".gz" file is left then.
bool ExtractEntry(HANDLE package, uint64_t member, const EntryHeader& entry) {
    HANDLE out = CreateMemberFile(entry.name);
    if (out == INVALID_HANDLE_VALUE) return false;
    SeekPackage(package, member);
    static char chunk[kCopyChunk];
    uint32_t left = entry.gzipSize;
    bool written = true;
    while (left > 0 && written) {
        DWORD got = 0;
        // A member that cannot be read whole fails to inflate, ending the process.
        if (!ReadFile(package, chunk, left < kCopyChunk ? left : kCopyChunk, &got, nullptr) ||
            got == 0) {
            break;
        }
        DWORD put = 0;
        written = WriteFile(out, chunk, got, &put, nullptr) && put == got;
        left -= got;
    }
    if (!written) {
        CloseMemberFile(entry.name, out);
        return false;
    }
    return GunzipFile(entry.name, out);
}

// Walks the package's proven archive to the first entry whose stored name matches name.
bool FindPackedEntry(HANDLE package, bool (*matches)(const char* stored, const char* name),
                     const char* name, EntryHeader* entry, uint64_t* member) {
    uint32_t offset = 0;
    if (ReadArchiveOffset(&offset) != kArchiveOk) return false;
    uint64_t size = g_run.archiveEnd;
    ArchiveHeader header = {};
    if (ValidateArchive(ReadPackageAt, package, offset, size, &header) != kArchiveOk) return false;
    uint64_t position = offset + kArchiveHeaderSize;
    for (uint32_t i = 0; i < header.count; ++i) {
        ReadEntryAt(ReadPackageAt, package, size, &position, entry, member);
        if (matches(entry->name, name)) return true;
    }
    return false;
}

// Takes plain data that must be the next bytes of the file given as context.
bool SameAsFile(void* file, const uint8_t* bytes, size_t n) {
    uint8_t held[kCompareChunk];
    while (n > 0) {
        DWORD want = n < sizeof held ? static_cast<DWORD>(n) : static_cast<DWORD>(sizeof held);
        if (!ReadExactly(static_cast<HANDLE>(file), held, want) || memcmp(held, bytes, want) != 0) {
            return false;
        }
        bytes += want;
        n -= want;
    }
    return true;
}

bool AtEndOfFile(HANDLE file) {
    uint8_t extra;
    DWORD got = 1;
    return ReadFile(file, &extra, 1, &got, nullptr) && got == 0;
}

// The entries placed before the unpacking (the access driver, the language DLL): held or
// loaded from then on, they are compared when the whole archive is unpacked, not written again.
constexpr size_t kEarlyEntries = 4;
char g_early[kEarlyEntries][kEntryNameSize];
size_t g_earlyCount = 0;

bool IsEarlyEntry(const char* stored) {
    for (size_t i = 0; i < g_earlyCount; ++i) {
        if (strcmp(g_early[i], stored) == 0) return true;
    }
    return false;
}

// Whether the early entry's plain file in the current directory is still what it unpacks to.
bool EarlyEntryIsAsPacked(HANDLE package, const EntryHeader& entry) {
    // Every name of the checked archive ends in ".gz".
    char plain[kEntryNameSize];
    size_t length = strlen(entry.name);
    if (!HasGzipSuffix(entry.name)) return false;
    snprintf(plain, sizeof plain, "%.*s", static_cast<int>(length - 3), entry.name);
    HANDLE file = CreateFileA(plain, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool same = MatchesPackedFile(package, plain, file);
    CloseHandle(file);
    return same;
}

}  // namespace

uint32_t ReadArchiveOffset(uint32_t* offset) {
    if (g_run.package == nullptr || g_run.archiveEnd == 0) return kArchiveCannotOpen;
    *offset = g_run.archiveOffset;
    return kArchiveOk;
}

uint32_t ReadPackageHeader(HANDLE package, uint32_t offset) {
    uint8_t head[8];
    if (!ReadPackageAt(package, 0, head, 1)) return kArchiveCannotOpen;
    if (!ReadPackageAt(package, offset, head, sizeof head) || ReadLe32(head) != kArchiveMagic) {
        return kArchiveInvalid;
    }
    g_run.runFlags = ReadLe32(head + 4);
    return kArchiveOk;
}

uint32_t ExtractPackage(HANDLE package, uint32_t offset) {
    g_run.runFlags = 0;
    uint8_t probe;
    if (!ReadPackageAt(package, 0, &probe, 1)) return kArchiveCannotOpen;

    // The whole archive is checked before the first file is written.
    uint64_t size = g_run.archiveEnd;
    ArchiveHeader header = {};
    uint32_t result = ValidateArchive(ReadPackageAt, package, offset, size, &header);
    if (header.magic == kArchiveMagic) g_run.runFlags = header.flags;
    if (result != kArchiveOk) return result;
    uint64_t position = offset + kArchiveHeaderSize;
    for (uint32_t i = 0; i < header.count && result == kArchiveOk; ++i) {
        EntryHeader entry;
        uint64_t member = 0;
        ReadEntryAt(ReadPackageAt, package, size, &position, &entry, &member);
        bool placed = IsEarlyEntry(entry.name) ? EarlyEntryIsAsPacked(package, entry) : ExtractEntry(package, member, entry);
        if (!placed) result = kArchiveMemberFailed;
    }
    return result;
}

int ExtractPackedFile(const char* name) {
    EntryHeader entry;
    uint64_t member = 0;
    if (!FindPackedEntry(g_run.package, StoredNameMatches, name, &entry, &member) ||
        !ExtractEntry(g_run.package, member, entry)) {
        return 0;
    }
    if (g_earlyCount < kEarlyEntries && !IsEarlyEntry(entry.name)) {
        snprintf(g_early[g_earlyCount++], kEntryNameSize, "%s", entry.name);
    }
    return 1;
}

bool MatchesPackedFile(HANDLE package, const char* name, HANDLE file) {
    EntryHeader entry;
    uint64_t member = 0;
    return FindPackedEntry(package, StoredNameIs, name, &entry, &member) &&
           SetFilePointer(file, 0, nullptr, FILE_BEGIN) == 0 &&
           InflateEntry(ReadPackageAt, package, member, entry.gzipSize, SameAsFile, file) == nullptr &&
           AtEndOfFile(file);
}

int ExtractAccessDriverFile(void) {
    // Only into the working place: no other directory is this run's own.
    return g_run.inWorkingDirectory ? ExtractPackedFile("addmem.sys") : 0;
}

void ListPackedNames(const char* ending, char* names, size_t size) {
    names[0] = '\0';
    uint32_t offset = 0;
    ArchiveHeader header = {};
    if (ReadArchiveOffset(&offset) != kArchiveOk ||
        ValidateArchive(ReadPackageAt, g_run.package, offset, g_run.archiveEnd, &header) != kArchiveOk) {
        return;
    }
    uint64_t position = offset + kArchiveHeaderSize;
    size_t used = 0;
    size_t tail = strlen(ending) + 3;  // and the member suffix
    for (uint32_t i = 0; i < header.count; ++i) {
        EntryHeader entry;
        uint64_t member = 0;
        if (!ReadEntryAt(ReadPackageAt, g_run.package, g_run.archiveEnd, &position, &entry, &member)) return;
        size_t length = strlen(entry.name);
        if (length < tail || _strnicmp(entry.name + length - tail, ending, tail - 3) != 0) continue;
        int n = snprintf(names + used, size - used, "%s%.*s", used ? " " : "", static_cast<int>(length - 3), entry.name);
        if (n < 0 || static_cast<size_t>(n) >= size - used) {
            names[used] = '\0';
            return;
        }
        used += static_cast<size_t>(n);
    }
}
