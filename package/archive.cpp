#include "package/archive.h"

#include <windows.h>

#include "core/run_context.h"
#include "package/archive_format.h"
#include "package/gunzip.h"

namespace {

constexpr DWORD kCopyChunk = 4096;
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

// Copies the member at offset into a file of the entry's name, then inflates it.
void ExtractEntry(HANDLE program, uint64_t member, const EntryHeader& entry) {
    HANDLE out = CreateFileA(entry.name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out != INVALID_HANDLE_VALUE) {
        Seek(program, member);
        static char chunk[kCopyChunk];
        uint32_t left = entry.gzipSize;
        while (left > 0) {
            DWORD got = 0;
            if (!ReadFile(program, chunk, left < kCopyChunk ? left : kCopyChunk, &got, nullptr) ||
                got == 0) {
                break;
            }
            DWORD written = 0;
            WriteFile(out, chunk, got, &written, nullptr);
            left -= got;
        }
        CloseHandle(out);
    }
    // A member that could not be written whole fails here, ending the process.
    GunzipFile(entry.name);
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
    for (uint32_t i = 0; i < header.count; ++i) {
        EntryHeader entry;
        uint64_t member = 0;
        ReadEntryAt(ReadAt, file, size, &position, &entry, &member);
        ExtractEntry(file, member, entry);
    }
    CloseHandle(file);
    return kArchiveOk;
}

int ExtractPackedFile(const char* name) {
    char path[kModulePathSize];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    uint32_t offset = 0;
    if (length == 0 || length >= sizeof path || ReadArchiveOffset(path, &offset) != kArchiveOk ||
        offset == 0) {
        return 0;
    }
    HANDLE file = OpenProgramFile(path);
    if (file == INVALID_HANDLE_VALUE) return 0;

    uint64_t size = FileSize(file);
    ArchiveHeader header = {};
    int extracted = 0;
    if (ValidateArchive(ReadAt, file, offset, size, &header) == kArchiveOk) {
        uint64_t position = offset + kArchiveHeaderSize;
        for (uint32_t i = 0; i < header.count && !extracted; ++i) {
            EntryHeader entry;
            uint64_t member = 0;
            ReadEntryAt(ReadAt, file, size, &position, &entry, &member);
            if (StoredNameMatches(entry.name, name)) {
                ExtractEntry(file, member, entry);
                extracted = 1;
            }
        }
    }
    CloseHandle(file);
    return extracted;
}

int ExtractAccessDriverFile(void) {
    char temp[kPathSize];
    DWORD length = GetEnvironmentVariableA("TEMP", temp, sizeof temp);
    // Where the directory cannot be entered, nothing is written into the one we started in.
    if (!SetCurrentDirectoryA(length > 0 && length < sizeof temp ? temp : "C:\\")) return 0;
    return ExtractPackedFile("addmem.sys");
}
