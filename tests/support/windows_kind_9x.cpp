// The kind of Windows of the updater's Windows 98 test build (QuorvinUpdate98.exe, never
// shipped) and of the e2e helpers: what GetVersion says, the very answer the shipped program
// never trusts, so that under Wine (where every process is an NT one) the program given Wine's
// Windows 98 version runs its 9x paths.
#include "platform/os.h"

WindowsKind OsWindowsKind(void) {
    DWORD version = GetVersion();
    return {(version & 0x80000000u) == 0, version & 0xFF, version >> 8 & 0xFF};
}
