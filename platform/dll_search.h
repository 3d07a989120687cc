// Where this elevated program loads DLLs from: the system directory, never the folder the
// package was started from (a user's Downloads or a stick), never the current directory.
#pragma once
#include <windows.h>

// The very first thing the program does: where the loader can be told so (Windows 8 and later;
// Vista and 7 with their loader update), every later load searches the system directory only.
// Everywhere, the current directory leaves the search (where the loader cannot be told so, the
// system directory becomes current), and the theme library, which the system loads by name with
// the first window, comes from the system directory.
void RestrictDllSearch(void);

// Loads a system DLL by its full path in the system directory; nullptr when it is not there.
HMODULE LoadSystemDll(const char* name);
