#include "package/package_file.h"

#include "core/debug_log.h"
#include "core/result_codes.h"
#include "core/run_context.h"
#include "package/archive_digest.h"

namespace {

constexpr DWORD kModulePathSize = 1024;

}  // namespace

bool SeekPackage(HANDLE package, uint64_t offset) {
    // SetFilePointer, not the Ex call, which Windows 95, 98 and Me lack.
    LONG high = static_cast<LONG>(offset >> 32);
    DWORD low = SetFilePointer(package, static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN);
    return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

bool ReadPackageAt(void* package, uint64_t offset, uint8_t* bytes, size_t n) {
    HANDLE file = static_cast<HANDLE>(package);
    DWORD got = 0;
    return SeekPackage(file, offset) && ReadFile(file, bytes, static_cast<DWORD>(n), &got, nullptr) &&
           got == n;
}

uint64_t PackageFileSize(HANDLE package) {
    DWORD high = 0;
    DWORD low = GetFileSize(package, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return 0;
    return static_cast<uint64_t>(high) << 32 | low;
}

uint32_t OpenOwnPackage(void) {
    char path[kModulePathSize];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) {
        LogLine("Package refused : its path cannot be read");
        return kResultInvalidOption;
    }
    HANDLE package = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (package == INVALID_HANDLE_VALUE) {
        LogLine("Package refused : %s cannot be opened (error %lu)", path, GetLastError());
        return kResultInvalidOption;
    }
    // The headers as loaded are the ones this process runs with: nobody can change them now,
    // whatever happens to the file.
    const uint8_t* headers = reinterpret_cast<const uint8_t*>(GetModuleHandleA(nullptr));
    uint32_t offset = ReadLe32(headers + kArchiveOffsetField);
    uint64_t end = 0;
    const char* why = CheckArchiveDigest(ReadPackageAt, package, offset, PackageFileSize(package),
                                         headers + kArchiveDigestField, &end);
    if (why != nullptr) {
        LogLine("Package refused : %s", why);
        CloseHandle(package);
        return kResultInvalidOption;
    }
    // Every later read of the archive stays between these two: a file put at the program's path
    // before it was opened may carry more, and its own offset at 0x28, which is never read.
    g_run.package = package;
    g_run.archiveOffset = offset;
    g_run.archiveEnd = end;
    return kResultOk;
}
