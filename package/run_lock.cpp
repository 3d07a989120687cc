#include "package/run_lock.h"

#include <cstdio>

#include "core/debug_log.h"
#include "core/run_context.h"
#include "package/administrators_folder.h"
#include "package/place_security.h"
#include "platform/os.h"

namespace {

const char kLockName[] = "QuorvinUpdate.lock";
constexpr DWORD kLockAccess = GENERIC_READ | DELETE;
constexpr DWORD kLockFlags = FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT;

bool ClaimByMutex(HANDLE* claimed) {
    HANDLE lock = CreateMutexA(nullptr, FALSE, "QuorvinUpdateRun");
    if (lock == nullptr) {
        LogLine("Working directory refused : the one-run lock cannot be made (error %lu)", GetLastError());
        return false;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(lock);
        LogLine("Working directory refused : another update is running");
        return false;
    }
    *claimed = lock;
    return true;
}

// A lock file that stood there before this run: a plain file with one name and, where users are
// kept apart, for nobody but Administrators and SYSTEM. Opened without delete-on-close, so that a
// file that is not ours is left as it is.
bool LeftLockIsOurs(const char* path, bool usersApart, DWORD* error) {
    HANDLE left = CreateFileA(path, READ_CONTROL | FILE_READ_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (left == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info;
    bool ours = GetFileInformationByHandle(left, &info) &&
                (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
                info.nNumberOfLinks == 1 && (!usersApart || HasAdministratorsOnlySecurity(left));
    CloseHandle(left);
    *error = ours ? NO_ERROR : ERROR_ACCESS_DENIED;
    return ours;
}

void LogRefusal(DWORD error, const char* path) {
    if (error == ERROR_SHARING_VIOLATION) {
        LogLine("Working directory refused : another update is running");
    } else if (error == ERROR_ACCESS_DENIED) {
        LogLine("Working directory refused : %s is not this program's one-run lock", path);
    } else {
        LogLine("Working directory refused : the one-run lock cannot be made (error %lu)", error);
    }
}

}  // namespace

bool ClaimSingleRun(bool usersApart) {
    static HANDLE claimed = nullptr;
    if (claimed != nullptr) return true;
    if (!OsWindowsKind().nt) return ClaimByMutex(&claimed);
    char path[kPathSize];
    UINT length = SystemWindowsDirectory(path, sizeof path);
    int written = length == 0 ? -1
                              : snprintf(path + length, sizeof path - length, "%s%s",
                                         path[length - 1] == '\\' ? "" : "\\", kLockName);
    if (written < 0 || static_cast<size_t>(written) >= sizeof path - length) {
        LogLine("Working directory refused : the one-run lock cannot be made");
        return false;
    }
    uint8_t protection[kAdministratorsOnlySize];
    EncodeAdministratorsOnly(protection);
    SECURITY_ATTRIBUTES security = {sizeof security, protection, FALSE};
    HANDLE lock = CreateFileA(path, kLockAccess, 0, &security, CREATE_NEW, kLockFlags, nullptr);
    DWORD error = GetLastError();
    // What a power loss left behind is taken again only when it is ours; while another run holds
    // it, it cannot be opened at all.
    if (lock == INVALID_HANDLE_VALUE && error == ERROR_FILE_EXISTS && LeftLockIsOurs(path, usersApart, &error)) {
        lock = CreateFileA(path, kLockAccess, 0, nullptr, OPEN_EXISTING, kLockFlags, nullptr);
        error = GetLastError();
    }
    if (lock == INVALID_HANDLE_VALUE) {
        LogRefusal(error, path);
        return false;
    }
    claimed = lock;
    return true;
}
