// One run at a time: two would share the access driver's service and the machine. On NT the
// lock is a file in the Windows directory, where standard users cannot make files, made for
// Administrators and SYSTEM only, held without sharing and gone when the process ends; no named
// object decides it, since any user may create one of any name first. Windows 95, 98 and Me
// keep no users apart: a plain mutex.
#pragma once
#include <windows.h>

#include <cstddef>

// Takes the lock for the rest of the process. usersApart: the system volume keeps ACLs, so that
// a lock file left behind by a power loss is used again only when its security says it is ours.
// False, the reason logged ("another update is running" when another run holds it), otherwise.
bool ClaimSingleRun(bool usersApart);
