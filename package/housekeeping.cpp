#include "package/housekeeping.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "core/debug_log.h"
#include "core/run_context.h"
#include "platform/os.h"

namespace {

template <size_t N>
void DeleteAll(const char* const (&names)[N]) {
    for (const char* name : names) DeleteFileA(name);
}

struct Rename {
    const char* from;
    const char* to;
};

// A rename over whatever has the new name. MoveFileExA is judged by its result, not by being
// found: Windows 95, 98 and Me export it as a stub that fails. Where it fails, on any Windows,
// the old name goes first, then the move. A name the package lacks is no fault; a file that is
// there and keeps its name is logged, for the flasher that will not start under the new one.
void RenameOver(const Rename& r, decltype(&MoveFileExA) moveEx) {
    if (moveEx != nullptr && moveEx(r.from, r.to, MOVEFILE_REPLACE_EXISTING)) return;
    if (GetFileAttributesA(r.from) == INVALID_FILE_ATTRIBUTES) return;
    DeleteFileA(r.to);
    if (!MoveFileA(r.from, r.to)) {
        LogLine("Rename : %s to %s failed (error %lu)", r.from, r.to, GetLastError());
    }
}

template <size_t N>
void RenameAll(const Rename (&renames)[N]) {
    auto moveEx = OsLookup<decltype(&MoveFileExA)>("kernel32.dll", "MoveFileExA");
    for (const Rename& r : renames) RenameOver(r, moveEx);
}

const char* const kPhoenixFiles[] = {"SWinFlash.exe", "PhlashNT.sys", "Phlash9X.vxd",
                                     "PhlashLc.dll",  "bios.wph",     "bios.bak",
                                     "newSys.bin"};
const char* const kAmiFiles[] = {"AFUDOS.EXE",   "AFUWIN.EXE",     "AFUWINX64.EXE",
                                 "AMIFLDRV.VXD", "AMIFLDRV32.sys", "AMIFLDRV64.sys",
                                 "BIOS.ROM"};
const char* const kPhoenix64Files[] = {"SWinFlash_64.exe", "PhlashNT_64.sys", "PhlashLc_64.dll",
                                       "PHLASH_64.INI", "PHLASH_64.LOG"};
const char* const kPhoenix32Files[] = {"SWinFlash_32.exe", "PhlashNT_32.sys", "PhlashLc_32.dll",
                                       "PHLASH_32.INI", "PHLASH_32.LOG"};
const char* const kMicomFiles[] = {"TarpexV01_10.exe", "kbc.bin"};
const char* const kLanguageFiles[] = {
    "UiLangKr.dll",     "UiLangChs.dll",     "UiLangCht.dll",     "UiLangEn.dll",
    "UiLangFr.dll",     "UiLangGr.dll",      "UiLangPo.dll",      "UiLangRu.dll",
    "UiLangSp.dll",     "UiLangKr_ami.dll",  "UiLangChs_ami.dll", "UiLangCht_ami.dll",
    "UiLangEn_ami.dll", "UiLangFr_ami.dll",  "UiLangGr_ami.dll",  "UiLangPo_ami.dll",
    "UiLangRu_ami.dll", "UiLangSp_ami.dll"};
const char* const kRuntimeFiles[] = {"PHLASH.ini", "mfc42.dll", "msvcp60.dll", "msvcrt.dll",
                                     "winhlp32.exe"};

const Rename kUse32[] = {{"SWinFlash_32.exe", "SWinFlash.exe"},
                         {"PhlashNT_32.sys", "PhlashNT.sys"},
                         {"PhlashLc_32.dll", "PhlashLc.dll"},
                         {"PHLASH_32.INI", "PHLASH.INI"},
                         {"PHLASH_32.LOG", "PHLASH.LOG"}};
const Rename kUse64[] = {{"SWinFlash_64.exe", "SWinFlash.exe"},
                         {"PhlashNT_64.sys", "PhlashNT.sys"},
                         {"PhlashLc_64.dll", "PhlashLc.dll"},
                         {"PHLASH_64.INI", "PHLASH.INI"},
                         {"PHLASH_64.LOG", "PHLASH.LOG"}};

// Deletes the listed names up to the first empty slot, keeping the one the flasher is given.
void DeleteListedExcept(const NameList& list, const char* kept) {
    for (size_t i = 0; i < kNameSlots && list.slots[i][0] != '\0'; ++i) {
        char name[kTextSize];
        lstrcpynA(name, list.slots[i], sizeof name);
        if (lstrcmpiA(name, kept) != 0) DeleteFileA(name);
    }
}

}  // namespace

namespace {

// Deeper than any run of ours makes; a deeper tree is left, and the run refused.
constexpr int kSweepDepth = 16;

bool RemoveEntries(const char* directory, int depth, bool log);

bool IsNt() { return OsWindowsKind().nt; }

// Whether the file at path, a link never followed, has one name only. Windows 95, 98 and Me
// know no second names.
bool HasNoOtherName(const char* path) {
    if (!IsNt()) return true;
    HANDLE file = CreateFileA(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    bool one = GetFileInformationByHandle(file, &info) && info.nNumberOfLinks == 1;
    CloseHandle(file);
    return one;
}

// Empties the directory at path by names while it is held without delete sharing: nobody can
// rename it away and put a link in its place, which every later name would be deleted through.
bool EmptyHeldDirectory(const char* path, int depth, bool log) {
    // Windows 95, 98 and Me open no directories and know no links.
    if (!IsNt()) return RemoveEntries(path, depth, log);
    HANDLE held = OsCreateFileA(path, READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (held == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    bool emptied = GetFileInformationByHandle(held, &info) &&
                   (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
                       FILE_ATTRIBUTE_DIRECTORY &&
                   RemoveEntries(path, depth, log);
    CloseHandle(held);
    return emptied;
}

// Removes what stands at path: a link as itself, never what it leads to; a read-only file; a
// directory with everything in it.
bool RemoveWhole(const char* path, int depth) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError() == ERROR_FILE_NOT_FOUND;
    bool directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        return directory ? RemoveDirectoryA(path) != 0 : DeleteFileA(path) != 0;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        // The flag belongs to the file, not the name: a file that has other names stays as it
        // is, and so does this name of it.
        if (!directory && !HasNoOtherName(path)) return false;
        SetFileAttributesA(path, attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    }
    if (!directory) return DeleteFileA(path) != 0;
    return depth > 0 && EmptyHeldDirectory(path, depth - 1, false) && RemoveDirectoryA(path) != 0;
}

bool RemoveEntries(const char* directory, int depth, bool log) {
    char path[kPathSize];
    int length = snprintf(path, sizeof path, "%s\\*", directory);
    if (length < 0 || length >= static_cast<int>(sizeof path)) return false;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    bool removed = true;
    do {
        if (strcmp(found.cFileName, ".") == 0 || strcmp(found.cFileName, "..") == 0) continue;
        length = snprintf(path, sizeof path, "%s\\%s", directory, found.cFileName);
        bool gone = length > 0 && length < static_cast<int>(sizeof path) && RemoveWhole(path, depth);
        if (gone && log) LogLine("DeleteDirectoryFile : %s is Deleted", found.cFileName);
        removed = removed && gone;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return removed;
}

}  // namespace

int SweepWorkingDirectory(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == FILE_ATTRIBUTE_DIRECTORY) {
        EmptyHeldDirectory(path, kSweepDepth, true);
    }
    RemoveWhole(path, kSweepDepth);
    return GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES ? 0 : -1;
}

void DeletePhoenixFiles(void) { DeleteAll(kPhoenixFiles); }
void DeleteAmiFiles(void) { DeleteAll(kAmiFiles); }
void DeletePhoenix64Files(void) { DeleteAll(kPhoenix64Files); }
void DeletePhoenix32Files(void) { DeleteAll(kPhoenix32Files); }
void DeleteMicomFiles(void) { DeleteAll(kMicomFiles); }
void DeleteLanguageFiles(void) { DeleteAll(kLanguageFiles); }
int DeleteAccessDriverFile(void) { return DeleteFileA("AddMem.sys"); }
int DeletePhlashLog(void) { return DeleteFileA("PHLASH.log"); }

void DeleteListedAndRuntimeFiles(void) {
    DeleteListedExcept(g_run.images, "bios.wph");
    DeleteListedExcept(g_run.micomFiles, "kbc.bin");
    DeleteAll(kRuntimeFiles);
}

void UsePhoenix32Files(void) {
    RenameAll(kUse32);
    DeletePhoenix64Files();
}

void UsePhoenix64Files(void) {
    RenameAll(kUse64);
    DeletePhoenix32Files();
}

const char* PackedNameOf(const char* name, bool wow64) {
    for (const Rename& r : wow64 ? kUse64 : kUse32) {
        if (lstrcmpiA(r.to, name) == 0) return r.from;
    }
    return name;
}

void DeleteExtractedFiles(void) {
    DeletePhoenixFiles();
    DeleteAmiFiles();
    DeleteMicomFiles();
    DeleteAccessDriverFile();
    DeletePhlashLog();
    DeleteLanguageFiles();
    DeleteListedAndRuntimeFiles();
}
