#include "platform/dll_search.h"

#include <cstdio>

#include "platform/os.h"

namespace {

// Not in every Windows this program runs on: looked up, never imported.
typedef BOOL(WINAPI* SetDefaultDllDirectoriesFn)(DWORD);
typedef BOOL(WINAPI* SetDllDirectoryAFn)(LPCSTR);
constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

}  // namespace

void RestrictDllSearch(void) {
    auto setDefault = OsLookup<SetDefaultDllDirectoriesFn>("kernel32.dll", "SetDefaultDllDirectories");
    if (setDefault != nullptr) setDefault(kSearchSystem32);
    auto setDirectory = OsLookup<SetDllDirectoryAFn>("kernel32.dll", "SetDllDirectoryA");
    // Without the call (2000, XP before SP1, 9x) the current directory stays in the search: it
    // becomes one only administrators can change until the working place is entered, never the
    // folder the package was started in.
    char system[MAX_PATH];
    UINT length = GetSystemDirectoryA(system, sizeof system);
    if (setDirectory == nullptr || !setDirectory("")) {
        if (length > 0 && length < sizeof system) SetCurrentDirectoryA(system);
    }
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
