#include "package/code_hold.h"

#include <cstdio>
#include <cstring>

#include "package/archive.h"
#include "package/housekeeping.h"

namespace {

// What Windows maps and runs as code: a planted file of any of these kinds could be loaded
// into a flasher beside its own.
bool IsCodeFile(const char* name) {
    static const char* const kCodeExtensions[] = {".exe", ".dll", ".sys", ".vxd", ".drv", ".ocx"};
    const char* dot = strrchr(name, '.');
    if (dot == nullptr) return false;
    for (const char* extension : kCodeExtensions) {
        if (lstrcmpiA(dot, extension) == 0) return true;
    }
    return false;
}

bool IsPlainFile(DWORD attributes) {
    return (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

// The file under name, checked against the package's file packedName.
bool Hold(const char* package, const char* name, const char* packedName, CodeHold* hold) {
    snprintf(hold->refused, sizeof hold->refused, "%s", name);
    if (hold->count == kMaxHeldFiles) return false;
    // A link is opened as itself, not followed, and refused: where it leads could be changed
    // while it is held.
    HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info) || !IsPlainFile(info.dwFileAttributes) ||
        !MatchesPackedFile(package, packedName, file)) {
        CloseHandle(file);
        return false;
    }
    hold->files[hold->count++] = file;
    hold->refused[0] = '\0';
    return true;
}

}  // namespace

bool HoldPackagedFile(const char* package, const char* name, CodeHold* hold) {
    return Hold(package, name, name, hold);
}

bool HoldPackageCode(const char* package, bool wow64, CodeHold* hold) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("*", &found);
    bool held = true;
    if (search != INVALID_HANDLE_VALUE) {
        do {
            bool file = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
            if (file && IsCodeFile(found.cFileName)) {
                held = Hold(package, found.cFileName, PackedNameOf(found.cFileName, wow64), hold);
            }
        } while (held && FindNextFileA(search, &found));
        FindClose(search);
    }
    if (!held) ReleaseCodeHold(hold);
    return held;
}

void ReleaseCodeHold(CodeHold* hold) {
    for (size_t i = 0; i < hold->count; ++i) CloseHandle(hold->files[i]);
    hold->count = 0;
}
