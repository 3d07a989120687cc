#include "package/language.h"

#include <windows.h>

#include "core/debug_log.h"
#include "core/file_path.h"
#include "core/run_context.h"
#include "package/archive.h"
#include "package/code_hold.h"
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
    // TEMP is the user's: the DLL is held as packed, unwritable, for as long as it is mapped,
    // which is the whole run.
    static CodeHold held = {};
    if (!HoldPackagedFile(g_run.package, name, &held)) {
        LogLine("Language DLL refused : %s is not as packed", name);
        return 0;
    }

    // TEMP is writable without elevation: the DLL is mapped as resources only, by its full
    // path, so that no code in it can ever run in this elevated process. Where that path does
    // not fit, nothing is chosen and our own resources serve.
    char path[kPathSize];
    if (!AppendFileName(path, sizeof path, GetCurrentDirectoryA(sizeof path, path), name)) return 0;
    g_run.resources = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    return 1;
}
