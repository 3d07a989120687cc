#include "package/protected_directory.h"

#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <cstring>

#include "core/debug_log.h"
#include "core/run_context.h"
#include "package/administrators_folder.h"
#include "package/housekeeping.h"
#include "package/place_security.h"
#include "package/run_lock.h"
#include "platform/os.h"

namespace {

const char kPlaceName[] = "__Quorvin_Update";
EarlierPlaceRoutine g_earlierPlaceRoutine = nullptr;
constexpr int kNameAttempts = 8;
constexpr size_t kRandomBytes = 8;

typedef decltype(&SetKernelObjectSecurity) SetSecurityFn;

bool IsNt() { return OsWindowsKind().nt; }

bool IsReparsePoint(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool SameFile(HANDLE a, HANDLE b) {
    BY_HANDLE_FILE_INFORMATION x;
    BY_HANDLE_FILE_INFORMATION y;
    return GetFileInformationByHandle(a, &x) && GetFileInformationByHandle(b, &y) &&
           x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}

bool IsCurrentDirectory(HANDLE directory) {
    HANDLE current = OsCreateFileA(".", 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (current == INVALID_HANDLE_VALUE) return false;
    bool same = SameFile(current, directory);
    CloseHandle(current);
    return same;
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

// Whether a directory between the drive and path is a reparse point. What is asked once path
// is current and held stays true: a directory above one in use can no longer be renamed.
bool ReachedThroughLink(const char* path) {
    char above[kPathSize];
    snprintf(above, sizeof above, "%s", path);
    for (char* cut = strrchr(above, '\\'); cut != nullptr && cut - above > 2; cut = strrchr(above, '\\')) {
        *cut = '\0';
        if (IsReparsePoint(GetFileAttributesA(above))) return true;
    }
    return false;
}

// Random characters from the system's own source; false where it gives none.
bool RandomSuffix(char* text, size_t size) {
    auto acquire = OsLookup<decltype(&CryptAcquireContextA)>("advapi32.dll", "CryptAcquireContextA");
    auto generate = OsLookup<decltype(&CryptGenRandom)>("advapi32.dll", "CryptGenRandom");
    auto release = OsLookup<decltype(&CryptReleaseContext)>("advapi32.dll", "CryptReleaseContext");
    HCRYPTPROV provider = 0;
    BYTE bytes[kRandomBytes];
    if (size < 2 * kRandomBytes + 1 || acquire == nullptr || generate == nullptr || release == nullptr ||
        !acquire(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
        return false;
    }
    bool made = generate(provider, sizeof bytes, bytes) != FALSE;
    release(provider, 0);
    for (size_t i = 0; made && i < kRandomBytes; ++i) snprintf(text + 2 * i, 3, "%02X", bytes[i]);
    return made;
}

}  // namespace

void SetEarlierPlaceRoutine(EarlierPlaceRoutine routine) { g_earlierPlaceRoutine = routine; }

void RemoveEarlierPlaces(const char* parent, const char* ours) {
    char path[kPathSize];
    int length = snprintf(path, sizeof path, "%s\\%s*", parent, kPlaceName);
    if (length < 0 || length >= static_cast<int>(sizeof path)) return;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (lstrcmpiA(found.cFileName, ours) == 0) continue;
        length = snprintf(path, sizeof path, "%s\\%s", parent, found.cFileName);
        if (length < 0 || length >= static_cast<int>(sizeof path)) continue;
        HANDLE directory = OpenFolderAsItIs(path, READ_CONTROL);
        bool own = directory != INVALID_HANDLE_VALUE && IsAdministratorsFolder(directory);
        if (directory != INVALID_HANDLE_VALUE) CloseHandle(directory);
        // Nobody but an administrator can rename or change such a directory: its name still
        // means it once the handle is closed.
        if (!own) {
            LogLine("Earlier working place left alone : %s is not one this program made", found.cFileName);
            continue;
        }
        if (g_earlierPlaceRoutine != nullptr) g_earlierPlaceRoutine(path);
        if (SweepWorkingDirectory(path) != 0) {
            LogLine("Earlier working place not removed whole : %s", found.cFileName);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

namespace {

// Gives the directory behind the handle its protection again, checks what it is, and makes it
// current. It was made with that protection under a name that stood nowhere: nobody else could
// have changed it or put anything in it, which the checks confirm.
bool ProtectAndEnter(const char* path, HANDLE directory, PSECURITY_DESCRIPTOR protection, SetSecurityFn setSecurity) {
    return IsPlainFolder(directory) &&
           setSecurity(directory, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, protection) &&
           SetCurrentDirectoryA(path) && IsCurrentDirectory(directory) && IsEmptyCurrentDirectory();
}

// The Windows directory's Temp, when its volume keeps ACLs: every folder above it is
// administrators' own.
bool ProtectedParent(char* parent, size_t size) {
    if (!AdministratorsWindowsDirectory(parent, size)) return false;
    size_t length = strlen(parent);
    int written = snprintf(parent + length, size - length, "%sTemp", parent[length - 1] == '\\' ? "" : "\\");
    return written > 0 && static_cast<size_t>(written) < size - length;
}

// TEMP + "\" + "__Quorvin_Update\"; false when TEMP is unset or the path would not fit.
bool TempPlace(char* place, size_t size) {
    char temp[kPathSize + 1];
    DWORD length = GetEnvironmentVariableA("TEMP", temp, sizeof temp);
    if (length == 0 || length > kPathSize) return false;
    int written = snprintf(place, size, "%s%s%s\\", temp, temp[length - 1] == '\\' ? "" : "\\", kPlaceName);
    return written > 0 && static_cast<size_t>(written) < size;
}

}  // namespace

bool MakeProtectedPlace(const char* parent, char* place, size_t size, HANDLE* held) {
    *held = INVALID_HANDLE_VALUE;
    auto setSecurity = OsLookup<SetSecurityFn>("advapi32.dll", "SetKernelObjectSecurity");
    uint8_t protection[kAdministratorsOnlySize];
    EncodeAdministratorsOnly(protection);
    if (setSecurity == nullptr) {
        LogLine("Working directory refused : this Windows cannot protect it");
        return false;
    }
    SECURITY_ATTRIBUTES security = {sizeof security, protection, FALSE};
    char path[kPathSize];
    DWORD error = ERROR_ALREADY_EXISTS;
    // A name that stands already is never entered: another one is drawn.
    for (int attempt = 0; attempt < kNameAttempts && error == ERROR_ALREADY_EXISTS; ++attempt) {
        char suffix[2 * kRandomBytes + 1];
        if (!RandomSuffix(suffix, sizeof suffix)) {
            error = GetLastError();
            LogLine("Working directory refused : no random name can be drawn (error %lu)", error);
            break;
        }
        int length = snprintf(path, sizeof path, "%s\\%s%s", parent, kPlaceName, suffix);
        if (length < 0 || static_cast<size_t>(length) + 2 > size || length + 1 >= static_cast<int>(sizeof path)) {
            LogLine("Working directory refused : %s is too long a path", parent);
            break;
        }
        if (!CreateDirectoryA(path, &security)) {
            error = GetLastError();
            if (error != ERROR_ALREADY_EXISTS) LogLine("Working directory refused : %s cannot be made (error %lu)", path, error);
            continue;
        }
        HANDLE directory = OpenFolderAsItIs(path, READ_CONTROL | WRITE_DAC | WRITE_OWNER);
        if (directory != INVALID_HANDLE_VALUE && ProtectAndEnter(path, directory, protection, setSecurity)) {
            *held = directory;
            snprintf(place, size, "%s\\", path);
        } else {
            if (directory != INVALID_HANDLE_VALUE) CloseHandle(directory);
            LogLine("Working directory refused : %s is not the protected directory just made", path);
        }
        break;
    }
    return *held != INVALID_HANDLE_VALUE;
}

bool EnterSweptPlace(const char* path, HANDLE* held) {
    *held = INVALID_HANDLE_VALUE;
    char directory[kPathSize];
    int length = snprintf(directory, sizeof directory, "%s", path);
    if (length <= 0 || length >= static_cast<int>(sizeof directory)) return false;
    if (directory[length - 1] == '\\') directory[length - 1] = '\0';
    char previous[kPathSize];
    DWORD previousLength = GetCurrentDirectoryA(sizeof previous, previous);
    if (previousLength == 0 || previousLength >= sizeof previous) return false;
    // Nothing is removed or made behind a link.
    if (ReachedThroughLink(directory)) {
        LogLine("Working directory refused : %s is reached through a link", directory);
        return false;
    }
    if (SweepWorkingDirectory(directory) != 0) {
        LogLine("Working directory refused : %s cannot be removed whole", directory);
        return false;
    }
    if (!CreateDirectoryA(directory, nullptr)) {
        LogLine("Working directory refused : %s cannot be made (error %lu)", directory, GetLastError());
        return false;
    }
    // Windows 95, 98 and Me open no directories and know no links.
    if (IsNt()) {
        *held = OpenFolderAsItIs(directory, READ_CONTROL);
        if (*held == INVALID_HANDLE_VALUE || !IsPlainFolder(*held)) {
            if (*held != INVALID_HANDLE_VALUE) CloseHandle(*held);
            *held = INVALID_HANDLE_VALUE;
            return false;
        }
    }
    bool entered = SetCurrentDirectoryA(directory) && (*held == INVALID_HANDLE_VALUE || IsCurrentDirectory(*held));
    if (!entered) {
        if (*held != INVALID_HANDLE_VALUE) CloseHandle(*held);
        *held = INVALID_HANDLE_VALUE;
        SetCurrentDirectoryA(previous);
    }
    return entered;
}

bool MakeOwnPlace(void) {
    char parent[kPathSize];
    // Elsewhere the place is TEMP's, swept: only once the lock is held.
    if (!IsNt() || !ProtectedParent(parent, sizeof parent)) return true;
    g_run.inWorkingDirectory = MakeProtectedPlace(parent, g_run.workingDirectory, sizeof g_run.workingDirectory,
                                                  &g_run.workingDirectoryHeld);
    return g_run.inWorkingDirectory;
}

bool ClaimWorkingPlace(void) {
    if (!ClaimSingleRun(g_run.inWorkingDirectory)) return false;
    if (g_run.inWorkingDirectory) {
        // parent\name\: once ours is entered, so that what goes is logged there.
        char parent[kPathSize];
        snprintf(parent, sizeof parent, "%s", g_run.workingDirectory);
        parent[strlen(parent) - 1] = '\0';
        char* name = strrchr(parent, '\\');
        if (name == nullptr) return false;
        *name++ = '\0';
        RemoveEarlierPlaces(parent, name);
        return true;
    }
    if (!TempPlace(g_run.workingDirectory, sizeof g_run.workingDirectory)) {
        LogLine("Working directory refused : TEMP is not set, or too long a path");
        return false;
    }
    g_run.inWorkingDirectory = EnterSweptPlace(g_run.workingDirectory, &g_run.workingDirectoryHeld);
    if (g_run.inWorkingDirectory) {
        LogLine("Working directory : %s, under TEMP: this Windows keeps no users apart", g_run.workingDirectory);
    }
    return g_run.inWorkingDirectory;
}
