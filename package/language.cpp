#include "package/language.h"

#include <windows.h>

#include <cstdio>

#include "core/run_context.h"
#include "package/archive.h"
#include "package/language_table.h"
#include "platform/os.h"

int SelectLanguageResources(void) {
    char name[32];
    if (!LanguageDllName(LanguageCode(OsGetSystemDefaultLangID()), g_run.biosFamily == 0, name,
                         sizeof name)) {
        return 0;
    }
    char temp[kPathSize];
    DWORD length = GetEnvironmentVariableA("TEMP", temp, sizeof temp);
    if (!SetCurrentDirectoryA(length > 0 && length < sizeof temp ? temp : "C:\\")) return 0;
    if (!ExtractPackedFile(name)) return 0;

    // TEMP is writable without elevation: the DLL is mapped as resources only, by its full
    // path, so that no code in it can ever run in this elevated process.
    char path[kPathSize];
    DWORD directory = GetCurrentDirectoryA(sizeof path, path);
    int written = snprintf(path + directory, sizeof path - directory, "\\%s", name);
    bool fits = directory > 0 && directory < sizeof path && written > 0 &&
                static_cast<size_t>(written) < sizeof path - directory;
    g_run.resources = fits ? LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE) : nullptr;
    return 1;
}
