#include "package/language.h"

#include <windows.h>

#include <cstdio>

#include "core/debug_log.h"
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
    // Only into the working place, which is current: no other directory is this run's own.
    if (!g_run.inWorkingDirectory || !ExtractPackedFile(name)) return 0;
    // Held as packed, unwritable, for as long as it is mapped, which is the whole run.
    static CodeHold held = {};
    if (!HoldPackagedFile(g_run.package, name, &held)) {
        LogLine("Language DLL refused : %s is not as packed", name);
        return 0;
    }

    // Mapped as resources only, by its full path, so that no code in it can ever run in this
    // elevated process. Where that path does not fit, nothing is chosen and our own resources serve.
    char path[kPathSize];
    int length = snprintf(path, sizeof path, "%s%s", g_run.workingDirectory, name);
    if (length < 0 || length >= static_cast<int>(sizeof path)) return 0;
    g_run.resources = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    return 1;
}
