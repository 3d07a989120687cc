// The kind of Windows of the updater's Windows 98 test build (QuorvinUpdate98.exe, never
// shipped): always 9x, with the version GetVersion gives, so that the 9x paths run under Wine,
// where every process is an NT one.
#include "platform/os.h"

WindowsKind OsWindowsKind(void) {
    DWORD version = GetVersion();
    return {false, version & 0xFF, version >> 8 & 0xFF};
}
