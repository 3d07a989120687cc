#include "update/listed_files.h"

#include <windows.h>

#include "core/debug_log.h"
#include "core/run_context.h"
#include "package/code_hold.h"

bool ListFiles(const char* pattern, NameList* list) {
    *list = NameList{};
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    // Beyond the tenth name the list is full; those files are no candidates.
    do {
        AddListedName(list, found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return true;
}

bool TakeListedFile(const NameList& list, const char* key, const char* kind, const char* target) {
    int chosen = ChooseListedName(list, key);
    if (chosen < 0) return false;
    if (list.count != 1) LogLine("%s File : %s", kind, list.slots[chosen]);
    return PlacePackedCopy(g_run.package, list.slots[chosen], target);
}
