// The compiler's runtime makes its semaphores with CreateSemaphoreW, which Windows 98 and Me
// export only as a stub that fails: a lock of the runtime could then not wait. This definition
// of the import's slot, linked into the program ahead of the import library, takes its place:
// the ANSI call, which every Windows has, with the name (the runtime gives none) converted.
#include <windows.h>

namespace {

HANDLE WINAPI CreateSemaphoreAnywhere(LPSECURITY_ATTRIBUTES security, LONG initial, LONG maximum, LPCWSTR name) {
    char narrow[MAX_PATH];
    if (name != nullptr &&
        WideCharToMultiByte(CP_ACP, 0, name, -1, narrow, sizeof narrow, nullptr, nullptr) == 0) {
        return nullptr;
    }
    return CreateSemaphoreA(security, initial, maximum, name != nullptr ? narrow : nullptr);
}

}  // namespace

extern "C" HANDLE(WINAPI* const g_createSemaphoreWSlot)(LPSECURITY_ATTRIBUTES, LONG, LONG, LPCWSTR)
    __asm__("__imp__CreateSemaphoreW@16");
extern "C" HANDLE(WINAPI* const g_createSemaphoreWSlot)(LPSECURITY_ATTRIBUTES, LONG, LONG, LPCWSTR) =
    CreateSemaphoreAnywhere;
