#include "update/rom_backup.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "core/debug_log.h"
#include "core/result_codes.h"
#include "core/run_context.h"
#include "core/run_flags.h"
#include "package/administrators_folder.h"
#include "update/rom_backup_names.h"
#include "update/rom_readout.h"

namespace {

const char kBackupFolder[] = "QuorvinRomBackup";
constexpr size_t kListed = 64;  // backups looked at in one pass; more are left for later runs

char g_backup[kPathSize];  // the full path of this run's backup, "" while there is none

// Keeps the newest backups of the folder; each removal logged. Only names this program gives,
// only plain files: nothing else there is touched, and no link is followed.
void PruneRomBackups(const char* folder, const char* newest) {
    char pattern[kPathSize];
    snprintf(pattern, sizeof pattern, "%s*.rom", folder);
    static char names[kListed][kRomBackupNameSize];
    RomBackupFile files[kListed];
    size_t count = 0;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
            !IsRomBackupName(found.cFileName)) {
            continue;
        }
        snprintf(names[count], sizeof names[count], "%s", found.cFileName);
        files[count] = {names[count], static_cast<uint64_t>(found.nFileSizeHigh) << 32 | found.nFileSizeLow};
        ++count;
    } while (count < kListed && FindNextFileA(search, &found));
    FindClose(search);
    bool remove[kListed] = {};
    ChooseRomBackupsToRemove(files, count, newest, remove);
    for (size_t i = 0; i < count; ++i) {
        char path[kPathSize];
        if (!remove[i] || snprintf(path, sizeof path, "%s%s", folder, names[i]) >= static_cast<int>(sizeof path)) continue;
        if (DeleteFileA(path)) {
            LogLine("ROM backup removed, a newer one kept : %s", names[i]);
        } else {
            LogLine("ROM backup not removed : %s (error %lu)", names[i], GetLastError());
        }
    }
}

}  // namespace

void SaveRomBackup(const char* readOut) {
    g_backup[0] = '\0';
    if (g_run.runFlags & kFlagNoRomBackup) {
        LogLine("ROM backup : not made, the package says so");
        return;
    }
    char folder[kPathSize];
    HANDLE held = INVALID_HANDLE_VALUE;
    if (!OpenAdministratorsFolder(kBackupFolder, folder, sizeof folder, &held)) {
        LogLine("ROM backup : not made, no folder only administrators can change; the update goes on");
        return;
    }
    SYSTEMTIME now;
    GetLocalTime(&now);
    const BackupTime time = {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
    char name[kRomBackupNameSize];
    char path[kPathSize];
    if (!RomBackupName(g_run.modelNumber, g_run.biosVersion, time, name, sizeof name) ||
        snprintf(path, sizeof path, "%s%s", folder, name) >= static_cast<int>(sizeof path)) {
        LogLine("ROM backup : not made, its name would not fit; the update goes on");
    } else if (readOut != nullptr) {
        if (CopyFileA(readOut, path, TRUE)) {
            snprintf(g_backup, sizeof g_backup, "%s", path);
        } else {
            LogLine("ROM backup : %s not copied (error %lu)", readOut, GetLastError());
        }
    } else {
        LogLine("ROM backup : reading the flash's top 1 MiB; a larger flash is saved in part");
        if (ReadBiosRom(path) == kResultOk) {
            snprintf(g_backup, sizeof g_backup, "%s", path);
        } else {
            LogLine("ROM backup : the ROM could not be read; the update goes on without a backup");
        }
    }
    if (g_backup[0] != '\0') {
        LogLine("ROM backup : %s", g_backup);
        PruneRomBackups(folder, name);
    }
    CloseHandle(held);
}

uint32_t NameRomBackup(uint32_t result) {
    if (result != kResultOk) {
        LogLine("Bios update failed : the ROM as it was is %s%s", g_backup[0] ? "saved in " : "not saved",
                g_backup);
    }
    return result;
}
