#include "core/name_list.h"

#include <cstring>

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool AddListedName(NameList* list, const char* name) {
    size_t length = strnlen(name, kNameSize);
    if (list->count >= kNameSlots || length == 0 || length == kNameSize) return false;
    memcpy(list->slots[list->count], name, length + 1);
    ++list->count;
    return true;
}

bool NameMatchesVersion(const char* name, const char* version) {
    // A version under 4 characters is NUL padded in its key, and a padding NUL matches nothing.
    if (strnlen(name, 4) < 4 || strnlen(version, 4) < 4) return false;
    return Lower(name[2]) == Lower(version[2]) && Lower(name[3]) == Lower(version[3]);
}

int ChooseListedName(const NameList& list, const char* version) {
    for (size_t i = 0; i < kNameSlots && list.slots[i][0] != '\0'; ++i) {
        if (list.count == 1 || NameMatchesVersion(list.slots[i], version)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}
