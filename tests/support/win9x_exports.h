// What a lookup by name finds on Windows 95, 98 and Me where that is not what NT finds, for the
// calls this program looks up: a stub that fails as unimplemented where their DLLs export the
// name without the call, nothing where they lack it. The fake OS of the win tier and the test
// build of the updater hand these out; Wine, whatever version it plays, has the real calls.
#pragma once
#include <windows.h>

// True when 9x differs for name; *proc is then its failing stub, or nullptr where 9x lacks it.
bool Win9xExport(LPCSTR name, FARPROC* proc);
