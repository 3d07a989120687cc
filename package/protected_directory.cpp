#include "package/protected_directory.h"

#include <windows.h>
#include <sddl.h>

#include <cstdio>
#include <cstring>

#include "core/debug_log.h"
#include "core/run_context.h"
#include "package/housekeeping.h"
#include "platform/os.h"

namespace {

// Owner Administrators; full control for SYSTEM and Administrators, reading for every signed-in
// user; protected from what TEMP would pass down, and passed down to everything made inside.
const char kProtection[] = "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;AU)";

bool IsReparsePoint(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Whether a directory between the drive and path is a reparse point. What is asked once path
// is current stays true: a directory above one in use can no longer be renamed, nor become a
// link while it is not empty.
bool ReachedThroughLink(const char* path) {
    char above[kPathSize];
    snprintf(above, sizeof above, "%s", path);
    for (char* cut = strrchr(above, '\\'); cut != nullptr && cut - above > 2;
         cut = strrchr(above, '\\')) {
        *cut = '\0';
        if (IsReparsePoint(GetFileAttributesA(above))) return true;
    }
    return false;
}

bool SameFile(HANDLE a, HANDLE b) {
    BY_HANDLE_FILE_INFORMATION x;
    BY_HANDLE_FILE_INFORMATION y;
    return GetFileInformationByHandle(a, &x) && GetFileInformationByHandle(b, &y) &&
           x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}

bool IsCurrentDirectory(HANDLE directory) {
    HANDLE current = CreateFileA(".", 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (current == INVALID_HANDLE_VALUE) return false;
    bool same = SameFile(current, directory);
    CloseHandle(current);
    return same;
}

// Gives the directory behind the handle the protection's owner and DACL, exactly: set on this
// very object, not on whatever a path names, and not pushed down onto what it holds. False when
// it is no plain directory.
typedef decltype(&SetKernelObjectSecurity) SetSecurityFn;

bool Protect(HANDLE directory, PSECURITY_DESCRIPTOR protection, SetSecurityFn setSecurity) {
    BY_HANDLE_FILE_INFORMATION info;
    return GetFileInformationByHandle(directory, &info) &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           !IsReparsePoint(info.dwFileAttributes) &&
           setSecurity(directory, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, protection);
}

bool IsEmptyCurrentDirectory() {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("*", &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    bool empty = true;
    do {
        empty = strcmp(found.cFileName, ".") == 0 || strcmp(found.cFileName, "..") == 0;
    } while (empty && FindNextFileA(search, &found));
    FindClose(search);
    return empty;
}

// Opens the directory just made at path, protects it again through the handle and makes it
// current; the handle, or INVALID_HANDLE_VALUE. A directory put in the place of ours before the
// open is protected the same way, and refused when anything is in it.
HANDLE ProtectAndEnter(const char* path, PSECURITY_DESCRIPTOR protection, SetSecurityFn setSecurity) {
    // A link is opened as itself, not followed, and without delete sharing: while this handle
    // is open nobody can rename the directory or put a link in its place.
    HANDLE directory = CreateFileA(path, READ_CONTROL | WRITE_DAC | WRITE_OWNER,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (directory == INVALID_HANDLE_VALUE) return directory;
    if (Protect(directory, protection, setSecurity) && SetCurrentDirectoryA(path) && IsCurrentDirectory(directory) &&
        !ReachedThroughLink(path) && IsEmptyCurrentDirectory()) {
        return directory;
    }
    CloseHandle(directory);
    return INVALID_HANDLE_VALUE;
}

}  // namespace

bool EnterProtectedDirectory(const char* path, HANDLE* held) {
    *held = INVALID_HANDLE_VALUE;
    char directory[kPathSize];
    int length = snprintf(directory, sizeof directory, "%s", path);
    if (length <= 0 || length >= static_cast<int>(sizeof directory)) return false;
    if (directory[length - 1] == '\\') directory[length - 1] = '\0';
    char previous[kPathSize];
    DWORD previousLength = GetCurrentDirectoryA(sizeof previous, previous);
    if (previousLength == 0 || previousLength >= sizeof previous) return false;
    // Nothing is removed or made behind a link.
    if (ReachedThroughLink(directory)) return false;
    // Whatever stands there goes whole: nothing anyone prepared there is ever taken over.
    if (SweepWorkingDirectory(directory) != 0) {
        LogLine("Working directory refused : %s cannot be removed whole", directory);
        return false;
    }
    // Windows 95, 98 and Me keep no owners or DACLs and know no links, and every process there
    // may write anywhere: the directory is only made and entered.
    if (OsGetVersion() & 0x80000000) {
        bool entered = CreateDirectoryA(directory, nullptr) && SetCurrentDirectoryA(directory);
        if (!entered) SetCurrentDirectoryA(previous);
        return entered;
    }
    // Every NT this program runs on has both; without them nothing could be protected.
    auto convert = OsLookup<decltype(&ConvertStringSecurityDescriptorToSecurityDescriptorA)>(
        "advapi32.dll", "ConvertStringSecurityDescriptorToSecurityDescriptorA");
    auto setSecurity = OsLookup<SetSecurityFn>("advapi32.dll", "SetKernelObjectSecurity");
    PSECURITY_DESCRIPTOR protection = nullptr;
    if (convert == nullptr || setSecurity == nullptr ||
        !convert(kProtection, SDDL_REVISION_1, &protection, nullptr)) {
        LogLine("Working directory refused : this Windows cannot protect it");
        return false;
    }
    SECURITY_ATTRIBUTES security = {sizeof security, protection, FALSE};
    if (CreateDirectoryA(directory, &security)) *held = ProtectAndEnter(directory, protection, setSecurity);
    LocalFree(protection);
    if (*held != INVALID_HANDLE_VALUE) return true;
    SetCurrentDirectoryA(previous);
    return false;
}
