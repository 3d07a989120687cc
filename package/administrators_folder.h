// Folders only Administrators and SYSTEM can change: the working place under the Windows
// directory's Temp and the folders this program keeps under the Windows directory itself. What
// stands in them keeps its meaning while the run uses it by name.
#pragma once
#include <windows.h>

#include <cstddef>

// A link is opened as itself, never followed; without delete sharing, so that while the handle
// is open nobody can rename the directory or put something else at its name.
HANDLE OpenFolderAsItIs(const char* path, DWORD access);

// A directory, not a link, read through the handle.
bool IsPlainFolder(HANDLE folder);

// Whether the object's owner and DACL, read through its handle, are for nobody but
// Administrators and SYSTEM.
bool HasAdministratorsOnlySecurity(HANDLE object);

// What only an administrator makes: a plain directory that Administrators or SYSTEM own and
// nobody else may use, read through the handle.
bool IsAdministratorsFolder(HANDLE folder);

// The system's Windows directory (not a Terminal Services user's copy): its length, or 0 when it
// cannot be read or would not fit.
UINT SystemWindowsDirectory(char* path, UINT size);

// The system's Windows directory (not a Terminal Services user's copy), on a volume that keeps
// ACLs; false on one without them or where it cannot be read.
bool AdministratorsWindowsDirectory(char* path, size_t size);

// The folder name under the Windows directory, made with Administrators' and SYSTEM's
// protection, or one already there opened without following a link and taken only when its
// security says nobody else can change it; held open until the program ends. path gets its full
// path with a trailing backslash. False, the reason logged, otherwise (Windows 9x, a volume
// without ACLs, a folder someone else made, a link).
bool OpenAdministratorsFolder(const char* name, char* path, size_t size, HANDLE* held);
