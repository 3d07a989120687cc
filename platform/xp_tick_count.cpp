// The thread library's timed waits import GetTickCount64, which Windows XP's kernel32 does not
// export: a program importing it would not even start there. This definition of the import's
// slot, linked into the program ahead of the import library, takes its place: the real function
// where Windows has it, else GetTickCount's count with its wraps counted.
#include <windows.h>

namespace {

// The wraps seen so far (high half) and the last count read (low half), changed as one.
volatile LONGLONG g_extended = 0;

ULONGLONG WINAPI TickCount64() {
    typedef ULONGLONG(WINAPI * TickCount64Fn)(void);
    static const TickCount64Fn real = reinterpret_cast<TickCount64Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTickCount64")));
    if (real != nullptr) return real();
    for (;;) {
        LONGLONG seen = g_extended;
        DWORD now = GetTickCount();
        ULONGLONG wraps = static_cast<ULONGLONG>(seen) >> 32;
        if (now < static_cast<DWORD>(seen)) ++wraps;
        LONGLONG next = static_cast<LONGLONG>(wraps << 32 | now);
        if (InterlockedCompareExchange64(&g_extended, next, seen) == seen) return static_cast<ULONGLONG>(next);
    }
}

}  // namespace

extern "C" ULONGLONG(WINAPI* const g_tickCount64Slot)(void) __asm__("__imp__GetTickCount64@0");
extern "C" ULONGLONG(WINAPI* const g_tickCount64Slot)(void) = TickCount64;
