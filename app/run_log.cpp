#include "app/run_log.h"

#include <windows.h>

#include <cstdio>

#include "core/debug_log.h"
#include "core/program_version.h"
#include "core/run_context.h"
#include "package/administrators_folder.h"
#include "package/archive.h"
#include "platform/os.h"

namespace {

const char kFleetFolder[] = "QuorvinLogs";
constexpr DWORD kFleetBound = 1024 * 1024;  // past it the log becomes the old one

// The fleet log, in a folder under the Windows directory that only administrators can change; a
// log past its bound is kept once as the old one. Not on 95, 98 and Me, which keep no users apart.
void OpenFleetLog() {
    char folder[kPathSize];
    HANDLE held = INVALID_HANDLE_VALUE;
    if (!OpenAdministratorsFolder(kFleetFolder, folder, sizeof folder, &held)) return;
    char old[kPathSize];
    int a = snprintf(g_run.fleetLog, sizeof g_run.fleetLog, "%sQuorvinUpdate.log", folder);
    int b = snprintf(old, sizeof old, "%sQuorvinUpdate.old.log", folder);
    HANDLE log = INVALID_HANDLE_VALUE;
    if (a > 0 && a < static_cast<int>(sizeof g_run.fleetLog) && b > 0 && b < static_cast<int>(sizeof old)) {
        log = OpenLogFile(g_run.fleetLog);
    }
    if (log == INVALID_HANDLE_VALUE) {
        g_run.fleetLog[0] = '\0';
        return;
    }
    DWORD size = GetFileSize(log, nullptr);
    CloseHandle(log);
    // Nobody but administrators can put anything between the two in this folder.
    if (size != INVALID_FILE_SIZE && size > kFleetBound) {
        DeleteFileA(old);
        MoveFileA(g_run.fleetLog, old);
    }
}

}  // namespace

void LogRunOpening(const char* commandText) {
    OpenFleetLog();
    SYSTEMTIME now;
    GetSystemTime(&now);
    LogFleetLine("Run : %04u-%02u-%02u %02u:%02u:%02u UTC, QuorvinUpdate " QV_VERSION_TEXT ", process %lu", now.wYear,
                 now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, GetCurrentProcessId());
    WindowsKind kind = OsWindowsKind();
    LogFleetLine("Windows : %s %lu.%lu", kind.nt ? "NT" : "9x", kind.major, kind.minor);
    LogFleetLine("Command line : %s", commandText);
}

void LogPackageFacts(bool proven) {
    if (g_run.packageSha256[0] == '\0') return;
    if (!proven) {
        LogFleetLine("Package : SHA-256 %s, refused", g_run.packageSha256);
        return;
    }
    char phoenix[kTextSize];
    char ami[kTextSize];
    char ec[kTextSize];
    ListPackedNames(".wph", phoenix, sizeof phoenix);
    ListPackedNames(".rom", ami, sizeof ami);
    ListPackedNames(".bin", ec, sizeof ec);
    LogFleetLine("Package : SHA-256 %s, BIOS images %s%s%s, EC files %s", g_run.packageSha256, phoenix,
                 *phoenix && *ami ? " " : "", *phoenix || *ami ? ami : "none", *ec ? ec : "none");
}
