// The run-time lookup of the updater's Windows 98 test build (QuorvinUpdate98.exe, never
// shipped): where its kind of Windows says 9x, a looked-up call is what 9x hands out, its failing stub
// or nothing, instead of the working call Wine has in every mode; each stub handed out is logged,
// for the test to see that the seam was there. Everything else is the shipped program's.
#include "core/debug_log.h"
#include "platform/dll_search.h"
#include "platform/os.h"
#include "tests/support/win9x_exports.h"

FARPROC OsGetProcAddress(LPCSTR dll, LPCSTR name) {
    FARPROC nineX = nullptr;
    if (!OsWindowsKind().nt && Win9xExport(name, &nineX)) {
        LogLine("9x lookup : %s %s", name, nineX ? "is a stub that fails" : "is missing");
        return nineX;
    }
    HMODULE module = LoadSystemDll(dll);
    return module ? GetProcAddress(module, name) : nullptr;
}
