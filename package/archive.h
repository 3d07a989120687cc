// The packed-file archive behind the program image: finding it and extracting its entries.
#pragma once
#include <windows.h>

#include <cstdint>

// Every call reads the package through the one handle opened at the start (package/package_file.h).

// The offset of the archive the package was proven by, as the program's loaded headers give
// it (never the file's 0x28 again): 0, or 6 when no package was proven.
uint32_t ReadArchiveOffset(uint32_t* offset);

// Checks the archive magic and loads the package flags word into RunFlags: 0, 4 or 6.
uint32_t ReadPackageHeader(HANDLE package, uint32_t offset);

// Extracts every entry into the current directory; an entry ExtractPackedFile placed earlier
// is compared with its file there instead, and fails the extraction when it differs. RunFlags
// is cleared, then loaded again from the package flags word. 0, 1 (empty), 4 (not a valid packed file), 5 (a file could not
// be written; the entries after it are not extracted) or 6.
uint32_t ExtractPackage(HANDLE package, uint32_t offset);

// Extracts into the current directory the first entry of g_run.package whose stored name begins
// with name, letter case ignored: 1 when it extracted one, else 0 (none matches, or its file could not be
// written).
int ExtractPackedFile(const char* name);

// Whether file, read from its start, holds byte for byte what the entry for the plain name
// (letter case ignored) of the package unpacks to, and nothing more.
bool MatchesPackedFile(HANDLE package, const char* name, HANDLE file);

// Extracts "addmem.sys" into the working place, which is current: 1, or 0 when it is not
// entered or nothing was extracted.
int ExtractAccessDriverFile(void);

// The plain names of the proven package's entries whose names end in ending (".wph"), letter
// case ignored, blank-separated into names (size bytes); cut before a name that would not fit.
void ListPackedNames(const char* ending, char* names, size_t size);
