#include "package/administrators_folder.h"

#include <cstdio>
#include <cstring>

#include "core/debug_log.h"
#include "core/run_context.h"
#include "package/place_security.h"
#include "platform/os.h"

namespace {

constexpr DWORD kDescriptorSize = 4096;

// Made just now: given its protection again through the handle (the creator's token may have
// named another owner), and checked to be a plain directory.
bool Protect(HANDLE folder, uint8_t* protection) {
    auto setSecurity = OsLookup<decltype(&SetKernelObjectSecurity)>("advapi32.dll", "SetKernelObjectSecurity");
    return setSecurity != nullptr && IsPlainFolder(folder) &&
           setSecurity(folder, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, protection);
}

// Makes the folder with the protection, or finds one standing there; false, logged, otherwise.
bool MakeFolder(const char* folder, bool* made, uint8_t* protection) {
    SECURITY_ATTRIBUTES security = {sizeof security, protection, FALSE};
    *made = CreateDirectoryA(folder, &security) != FALSE;
    DWORD error = *made ? ERROR_SUCCESS : GetLastError();
    if (!*made && error != ERROR_ALREADY_EXISTS) {
        LogLine("%s not used : it cannot be made (error %lu)", folder, error);
        return false;
    }
    return true;
}

}  // namespace

HANDLE OpenFolderAsItIs(const char* path, DWORD access) {
    return OsCreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

bool IsPlainFolder(HANDLE folder) {
    BY_HANDLE_FILE_INFORMATION info;
    return GetFileInformationByHandle(folder, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

bool HasAdministratorsOnlySecurity(HANDLE object) {
    auto getSecurity = OsLookup<decltype(&GetKernelObjectSecurity)>("advapi32.dll", "GetKernelObjectSecurity");
    uint8_t descriptor[kDescriptorSize];
    DWORD needed = 0;
    return getSecurity != nullptr &&
           getSecurity(object, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, descriptor, sizeof descriptor,
                       &needed) &&
           IsAdministratorsOnly(descriptor, needed > 0 && needed < sizeof descriptor ? needed : sizeof descriptor);
}

bool IsAdministratorsFolder(HANDLE folder) { return IsPlainFolder(folder) && HasAdministratorsOnlySecurity(folder); }

UINT SystemWindowsDirectory(char* path, UINT size) {
    auto systemWindows = OsLookup<UINT(WINAPI*)(LPSTR, UINT)>("kernel32.dll", "GetSystemWindowsDirectoryA");
    UINT length = systemWindows ? systemWindows(path, size) : GetWindowsDirectoryA(path, size);
    return length < size ? length : 0;
}

bool AdministratorsWindowsDirectory(char* path, size_t size) {
    if (!OsWindowsKind().nt) return false;
    UINT length = SystemWindowsDirectory(path, static_cast<UINT>(size));
    if (length < 3 || path[1] != ':') return false;
    char root[4] = {path[0], ':', '\\', '\0'};
    DWORD flags = 0;
    return !OsGetVolumeInformationA(root, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) ||
           (flags & FILE_PERSISTENT_ACLS) != 0;
}

bool OpenAdministratorsFolder(const char* name, char* path, size_t size, HANDLE* held) {
    *held = INVALID_HANDLE_VALUE;
    char folder[kPathSize];
    if (!AdministratorsWindowsDirectory(folder, sizeof folder)) {
        LogLine("%s not used : this Windows keeps no users apart", name);
        return false;
    }
    size_t length = strlen(folder);
    int written = snprintf(folder + length, sizeof folder - length, "%s%s", folder[length - 1] == '\\' ? "" : "\\", name);
    if (written <= 0 || static_cast<size_t>(written) >= sizeof folder - length ||
        snprintf(path, size, "%s\\", folder) >= static_cast<int>(size)) {
        LogLine("%s not used : too long a path", name);
        return false;
    }
    bool made = false;
    uint8_t protection[kAdministratorsOnlySize];
    EncodeAdministratorsOnly(protection);
    HANDLE opened = INVALID_HANDLE_VALUE;
    if (MakeFolder(folder, &made, protection)) {
        opened = OpenFolderAsItIs(folder, READ_CONTROL | (made ? WRITE_DAC | WRITE_OWNER : 0));
        bool taken = opened != INVALID_HANDLE_VALUE && (made ? Protect(opened, protection) : IsAdministratorsFolder(opened));
        if (!taken) {
            if (opened != INVALID_HANDLE_VALUE) CloseHandle(opened);
            opened = INVALID_HANDLE_VALUE;
            LogLine("%s not used : %s", folder, made ? "its protection cannot be set" : "someone else may change it, or it is a link");
        }
    }
    if (opened == INVALID_HANDLE_VALUE) return false;
    *held = opened;
    return true;
}
