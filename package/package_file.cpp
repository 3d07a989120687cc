#include "package/package_file.h"

#include <cstdio>

#include "core/debug_log.h"
#include "core/result_codes.h"
#include "core/run_context.h"
#include "core/sha256.h"
#include "package/archive_digest.h"
#include "package/archive_span.h"
#include "package/digest_thread.h"

namespace {

constexpr DWORD kModulePathSize = 1024;

// Where the package's bytes are kept once read: in the working place, gone when the run ends.
const char kCopyName[] = "QuorvinUpdate.pkg";

struct PackagePass {
    DigestThread whole;  // the file as it is, signature and all
    Sha256 archive;  // from the archive's offset to its last entry's end
    ArchiveSpan span;
};

bool WriteAll(HANDLE file, const uint8_t* bytes, DWORD n) {
    DWORD put = 0;
    return n == 0 || (WriteFile(file, bytes, n, &put, nullptr) && put == n);
}

// Reads the package file once from its start through its handle, in pieces: every byte goes into
// the whole file's digest (on its own thread), the archive's into the archive's digest, and
// everything up to the archive's end into copy, when there is one, from the same piece just read.
// False when a read or a write fails; *copyFailed then tells which. The whole file's digest is
// ended by the caller, whatever this returns.
bool PassOverPackage(HANDLE file, uint32_t offset, HANDLE copy, PackagePass* pass, bool* copyFailed) {
    BeginDigestThread(&pass->whole);
    Sha256Begin(&pass->archive);
    BeginArchiveSpan(&pass->span);
    *copyFailed = false;
    for (uint64_t at = 0;;) {
        uint8_t* chunk = NextDigestPiece(&pass->whole);
        DWORD got = 0;
        if (!ReadFile(file, chunk, kDigestPiece, &got, nullptr)) return false;
        if (got == 0) return true;
        HandDigestPiece(&pass->whole, got);
        DWORD head = at >= offset ? 0 : offset - at < got ? static_cast<DWORD>(offset - at) : got;
        DWORD archived = static_cast<DWORD>(FollowArchive(&pass->span, chunk + head, got - head));
        Sha256Add(&pass->archive, chunk + head, archived);
        if (copy != INVALID_HANDLE_VALUE && !WriteAll(copy, chunk, head + archived)) {
            *copyFailed = true;
            return false;
        }
        at += got;
    }
}

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

uint32_t OpenOwnPackage(bool copyIntoPlace) {
    char path[kModulePathSize];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) {
        LogLine("Package refused : its path cannot be read");
        return kResultInvalidOption;
    }
    // The headers as loaded are the ones this process runs with: nobody can change them now,
    // whatever happens to the file.
    const uint8_t* headers = reinterpret_cast<const uint8_t*>(GetModuleHandleA(nullptr));
    uint32_t offset = ReadLe32(headers + kArchiveOffsetField);
    const uint8_t* expected = headers + kArchiveDigestField;
    if (!CarriesDigest(expected)) {
        LogLine("Package refused : it carries no archive digest");
        return kResultInvalidOption;
    }
    HANDLE package = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (package == INVALID_HANDLE_VALUE) {
        LogLine("Package refused : %s cannot be opened (error %lu)", path, GetLastError());
        return kResultInvalidOption;
    }
    // The user's file can still change through a view mapped before it was opened (2000 and XP
    // let one outlive its handles): its bytes are read once, into a file only administrators can
    // change, and proven there. Where no place of the run's own exists yet, there is nothing to
    // keep them from, and the file itself is read.
    HANDLE copy = INVALID_HANDLE_VALUE;
    if (copyIntoPlace) {
        copy = CreateFileA(kCopyName, GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (copy == INVALID_HANDLE_VALUE) {
            LogLine("Working directory refused : the package cannot be copied into it (error %lu)", GetLastError());
            CloseHandle(package);
            return kResultDirectory;
        }
    }
    PackagePass pass;
    bool copyFailed = false;
    bool read = PassOverPackage(package, offset, copy, &pass, &copyFailed);
    DWORD error = GetLastError();
    HANDLE proven = copy != INVALID_HANDLE_VALUE ? copy : package;
    uint64_t end = offset + pass.span.seen;
    uint8_t archive[kSha256Size];
    Sha256End(&pass.archive, archive);
    const char* why = !read ? nullptr : JudgeArchive(ReadPackageAt, proven, offset, end, archive, expected);
    uint8_t whole[kSha256Size];
    EndDigestThread(&pass.whole, read ? whole : nullptr);
    // Of a refused package too: which copy it was is what a fleet needs to know.
    if (read) {
        for (size_t i = 0; i < kSha256Size; ++i) snprintf(g_run.packageSha256 + 2 * i, 3, "%02x", whole[i]);
    }
    if (!read || why != nullptr) {
        if (copyFailed) {
            LogLine("Working directory refused : the package cannot be copied into it (error %lu)", error);
        } else if (!read) {
            LogLine("Package refused : %s cannot be read (error %lu)", path, error);
        } else {
            LogLine("Package refused : %s", why);
        }
        // Closed, the copy is gone.
        if (copy != INVALID_HANDLE_VALUE) CloseHandle(copy);
        CloseHandle(package);
        return copyFailed ? kResultDirectory : kResultInvalidOption;
    }
    // From here on the user's file is never read again.
    if (proven != package) CloseHandle(package);
    // Every later read of the archive stays between these two: a file put at the program's path
    // before it was opened may carry more, and its own offset at 0x28, which is never read.
    g_run.package = proven;
    g_run.archiveOffset = offset;
    g_run.archiveEnd = end;
    return kResultOk;
}
