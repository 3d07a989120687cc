// The kind of Windows, read where a compatibility layer cannot reach: whatever GetVersion is made
// to answer (a per-program version, __COMPAT_LAYER inherited from a launcher), an NT process has
// ntdll mapped, and the kernel writes its version into the page it shares with every process.
// Comes with each program, so that the updater's Windows 98 test build can have another.
#include "platform/os.h"

namespace {

// KUSER_SHARED_DATA, mapped read-only into every NT process at this address.
constexpr uintptr_t kSharedUserData = 0x7FFE0000;
constexpr uintptr_t kNtMajorVersion = 0x26C;
constexpr uintptr_t kNtMinorVersion = 0x270;

DWORD SharedValue(uintptr_t offset) { return *reinterpret_cast<const volatile DWORD*>(kSharedUserData + offset); }

}  // namespace

WindowsKind OsWindowsKind(void) {
    // Windows 95, 98 and Me have no ntdll.dll in a process, and nothing to keep users apart.
    if (GetModuleHandleA("ntdll.dll") == nullptr) {
        DWORD version = GetVersion();
        return {false, version & 0xFF, version >> 8 & 0xFF};
    }
    return {true, SharedValue(kNtMajorVersion), SharedValue(kNtMinorVersion)};
}
