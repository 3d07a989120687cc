// The working directory as a place only Administrators and SYSTEM may write to, reached through
// plain directories only: what this elevated run unpacks there and starts must stay its own.
#pragma once
#include <windows.h>

// Makes path (with or without its trailing backslash) the current directory, made anew:
// whatever stood there is removed whole first (SweepWorkingDirectory). It is created with a DACL
// that lets only Administrators and SYSTEM write and every signed-in user read, inherited by all
// it will hold and nothing inherited from above, then opened without delete sharing and, through
// that handle, checked to be a plain empty directory and given that owner and DACL again. *held
// gets the handle, to stay open for the whole run. False, with the current directory as it was,
// when path or a directory above it is a junction, a symbolic link or another reparse point, or
// when anything of what stood there remains. Windows 95, 98 and Me have no security to give:
// there it is only made and entered, and nothing is held.
bool EnterProtectedDirectory(const char* path, HANDLE* held);
