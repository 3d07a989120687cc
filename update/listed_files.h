// The candidate files of a package: listed by pattern, and the one that fits a key copied to
// the name its flasher takes.
#pragma once
#include "core/name_list.h"

// Fills list with the names matching pattern in the current directory; false when none does.
bool ListFiles(const char* pattern, NameList* list);

// Copies the listed file that fits the key to target; a choice made by name is logged as
// "<kind> File : <name>". False when none fits.
bool TakeListedFile(const NameList& list, const char* key, const char* kind, const char* target);
