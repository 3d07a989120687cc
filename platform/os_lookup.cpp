#include "platform/os.h"

#include "platform/dll_search.h"

// What a Windows this program claims may lack is looked up, never imported, so that the loader
// never refuses the program for it: the service, token and security calls, which Windows 98
// does not have as calls that work, and SETUPAPI, which is no known DLL everywhere and, imported,
// would be looked for beside the program first. Each system DLL comes from the system directory.
// Where a call is missing, its wrapper fails as that call fails.
FARPROC OsGetProcAddress(LPCSTR dll, LPCSTR name) {
    HMODULE module = LoadSystemDll(dll);
    return module ? GetProcAddress(module, name) : nullptr;
}
