#include "platform/dll_search.h"

#include <cstdio>

namespace {

// Not in every Windows this program runs on: looked up, never imported.
typedef BOOL(WINAPI* SetDefaultDllDirectoriesFn)(DWORD);
typedef BOOL(WINAPI* SetDllDirectoryAFn)(LPCSTR);
constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

}  // namespace

void RestrictDllSearch(void) {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (kernel == nullptr) return;
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDefault != nullptr) setDefault(kSearchSystem32);
    auto setDirectory = reinterpret_cast<SetDllDirectoryAFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryA")));
    if (setDirectory != nullptr) setDirectory("");
    // The system loads the theme library by name with the first window: loaded here from the
    // system directory first, every later load by name finds it, where nothing else restricts the
    // search (Windows XP) too. Windows without themes has none, and that is no fault.
    LoadSystemDll("uxtheme.dll");
}

HMODULE LoadSystemDll(const char* name) {
    // Loaded with every process, and never from anywhere but the system directory.
    if (lstrcmpiA(name, "kernel32.dll") == 0) return GetModuleHandleA(name);
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, sizeof path);
    if (length == 0 || length >= sizeof path) return nullptr;
    int written = snprintf(path + length, sizeof path - length, "\\%s", name);
    if (written < 0 || static_cast<size_t>(written) >= sizeof path - length) return nullptr;
    // Its own imports are found beside it, in the system directory.
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
