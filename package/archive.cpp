#include "package/archive.h"

#include <windows.h>

#include <cstring>

#include "core/run_context.h"
#include "hw/access_driver.h"
#include "package/archive_format.h"
#include "package/gunzip.h"
#include "package/member_inflate.h"

namespace {

constexpr DWORD kCopyChunk = 4096;
constexpr size_t kCompareChunk = 4096;
constexpr DWORD kModulePathSize = 1024;

HANDLE OpenProgramFile(const char* path) {
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

uint64_t FileSize(HANDLE file) {
    LARGE_INTEGER size;
    return GetFileSizeEx(file, &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
}

bool Seek(HANDLE file, uint64_t offset) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(file, to, nullptr, FILE_BEGIN) != 0;
}

bool ReadExactly(HANDLE file, void* bytes, DWORD n) {
    DWORD got = 0;
    return ReadFile(file, bytes, n, &got, nullptr) && got == n;
}

bool ReadAt(void* context, uint64_t offset, uint8_t* bytes, size_t n) {
    HANDLE file = static_cast<HANDLE>(context);
    return Seek(file, offset) && ReadExactly(file, bytes, static_cast<DWORD>(n));
}

// Copies the member at offset into a file of the entry's name, then inflates it. False when a
// file cannot be created or written; no ".gz" file is left then.
bool ExtractEntry(HANDLE program, uint64_t member, const EntryHeader& entry) {
    // A name planted as a link would lead this write elsewhere: what has the name goes, and the
    // file is made anew or not at all.
    DeleteFileA(entry.name);
    HANDLE out = CreateFileA(entry.name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return false;
    Seek(program, member);
    static char chunk[kCopyChunk];
    uint32_t left = entry.gzipSize;
    bool written = true;
    while (left > 0 && written) {
        DWORD got = 0;
        // A member that cannot be read whole fails to inflate, ending the process.
        if (!ReadFile(program, chunk, left < kCopyChunk ? left : kCopyChunk, &got, nullptr) ||
            got == 0) {
            break;
        }
        DWORD put = 0;
        written = WriteFile(out, chunk, got, &put, nullptr) && put == got;
        left -= got;
    }
    CloseHandle(out);
    if (!written) {
        DeleteFileA(entry.name);
        return false;
    }
    return GunzipFile(entry.name);
}

// Opens the package at path and walks its checked archive to the first entry whose stored
// name matches name; the file stays open for the caller then, else it is closed.
HANDLE FindPackedEntry(const char* path, bool (*matches)(const char* stored, const char* name),
                       const char* name, EntryHeader* entry, uint64_t* member) {
    uint32_t offset = 0;
    if (ReadArchiveOffset(path, &offset) != kArchiveOk) return INVALID_HANDLE_VALUE;
    HANDLE file = OpenProgramFile(path);
    if (file == INVALID_HANDLE_VALUE) return file;
    uint64_t size = FileSize(file);
    ArchiveHeader header = {};
    if (ValidateArchive(ReadAt, file, offset, size, &header) == kArchiveOk) {
        uint64_t position = offset + kArchiveHeaderSize;
        for (uint32_t i = 0; i < header.count; ++i) {
            ReadEntryAt(ReadAt, file, size, &position, entry, member);
            if (matches(entry->name, name)) return file;
        }
    }
    CloseHandle(file);
    return INVALID_HANDLE_VALUE;
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

}  // namespace

uint32_t ReadArchiveOffset(const char* path, uint32_t* offset) {
    HANDLE file = OpenProgramFile(path);
    if (file == INVALID_HANDLE_VALUE) return kArchiveCannotOpen;
    uint8_t head[kProgramHeadSize] = {};
    DWORD got = 0;
    ReadFile(file, head, sizeof head, &got, nullptr);
    CloseHandle(file);
    *offset = got >= kArchiveOffsetField + 4 ? ReadLe32(head + kArchiveOffsetField) : 0;
    return kArchiveOk;
}

uint32_t ReadPackageHeader(const char* path, uint32_t offset) {
    HANDLE file = OpenProgramFile(path);
    if (file == INVALID_HANDLE_VALUE) return kArchiveCannotOpen;
    uint8_t head[8];
    bool valid = (offset == 0 || Seek(file, offset)) && ReadExactly(file, head, sizeof head) &&
                 ReadLe32(head) == kArchiveMagic;
    CloseHandle(file);
    if (!valid) return kArchiveInvalid;
    g_run.runFlags = ReadLe32(head + 4);
    return kArchiveOk;
}

uint32_t ExtractPackage(const char* path, uint32_t offset) {
    HANDLE file = OpenProgramFile(path);
    g_run.runFlags = 0;
    if (file == INVALID_HANDLE_VALUE) return kArchiveCannotOpen;

    // The whole archive is checked before the first file is written.
    uint64_t size = FileSize(file);
    ArchiveHeader header = {};
    uint32_t result = ValidateArchive(ReadAt, file, offset, size, &header);
    if (header.magic == kArchiveMagic) g_run.runFlags = header.flags;
    if (result != kArchiveOk) {
        CloseHandle(file);
        return result;
    }
    uint64_t position = offset + kArchiveHeaderSize;
    for (uint32_t i = 0; i < header.count && result == kArchiveOk; ++i) {
        EntryHeader entry;
        uint64_t member = 0;
        ReadEntryAt(ReadAt, file, size, &position, &entry, &member);
        if (!ExtractEntry(file, member, entry)) result = kArchiveMemberFailed;
    }
    CloseHandle(file);
    return result;
}

int ExtractPackedFile(const char* name) {
    char path[kModulePathSize];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) return 0;
    EntryHeader entry;
    uint64_t member = 0;
    HANDLE file = FindPackedEntry(path, StoredNameMatches, name, &entry, &member);
    if (file == INVALID_HANDLE_VALUE) return 0;
    int extracted = ExtractEntry(file, member, entry) ? 1 : 0;
    CloseHandle(file);
    return extracted;
}

bool MatchesPackedFile(const char* package, const char* name, HANDLE file) {
    EntryHeader entry;
    uint64_t member = 0;
    HANDLE program = FindPackedEntry(package, StoredNameIs, name, &entry, &member);
    if (program == INVALID_HANDLE_VALUE) return false;
    bool same = Seek(file, 0) &&
                InflateEntry(ReadAt, program, member, entry.gzipSize, SameAsFile, file) == nullptr &&
                AtEndOfFile(file);
    CloseHandle(program);
    return same;
}

int ExtractAccessDriverFile(void) {
    char temp[kPathSize];
    DWORD length = GetEnvironmentVariableA("TEMP", temp, sizeof temp);
    // Where the directory cannot be entered, nothing is written into the one we started in.
    if (!SetCurrentDirectoryA(length > 0 && length < sizeof temp ? temp : "C:\\")) return 0;
    // A driver an earlier run left loaded holds this file: it is stopped and its service
    // removed first, so that the file can be replaced.
    RemoveAddmemService();
    return ExtractPackedFile("addmem.sys");
}
