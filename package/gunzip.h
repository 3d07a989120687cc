// Inflating one extracted gzip member into its plain file.
#pragma once
#include <windows.h>

// The file a member is copied into before it is inflated, "NAME" itself (a name of the archive,
// ".gz" and all), made anew: what already has the name goes first, and a name that is back by
// the time of the create fails it. Open to this process alone, for writing and then reading; on
// NT it goes when its handle is closed. INVALID_HANDLE_VALUE when it cannot be made.
HANDLE CreateMemberFile(const char* name);

// Closes a member file that will not be inflated: its file goes with it.
void CloseMemberFile(const char* name, HANDLE member);

// "X.gz" becomes "X" (any other name N is taken for "N.gz"), inflated from member, that file held
// open, read from its start: the bytes inflated are the bytes written into it, whatever happens
// to the name meanwhile. member is closed and its file is gone when this returns. True once the
// plain file is written. False, after one line on the standard error stream, when the plain file
// cannot be created or written (a file in use, a full disk): any part written is deleted then. A
// member that cannot be read or inflated ends the process with exit code 1 and one line on the
// standard error stream.
bool GunzipFile(const char* name, HANDLE member);
