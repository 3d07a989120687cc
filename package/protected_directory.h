// The working place: a directory only Administrators and SYSTEM can use, made anew by this run
// under a name nobody can guess, so that what this elevated run unpacks there and starts stays
// its own. Where Windows keeps no users apart (95, 98, Me, or a system volume without ACLs) it
// is TEMP's "__Quorvin_Update", as it always was.
#pragma once
#include <windows.h>

#include <cstddef>

// What is done with an earlier run's place that only administrators can change, before it is
// removed: the path of the directory, without a trailing backslash.
typedef void (*EarlierPlaceRoutine)(const char* place);
void SetEarlierPlaceRoutine(EarlierPlaceRoutine routine);

// The start gates' two halves, around the package's proof. MakeOwnPlace: on NT with a system
// volume that keeps ACLs, makes this run's own place under the Windows directory's Temp and
// enters it (g_run.workingDirectory gets its path with a trailing backslash,
// g_run.workingDirectoryHeld its handle for the whole run, g_run.inWorkingDirectory is set);
// nothing is swept yet. Elsewhere it does nothing. False, the reason logged, when it could not.
bool MakeOwnPlace(void);

// Takes the one-run lock, then removes the earlier places beside the run's own, or, where users
// are not kept apart, sweeps and enters TEMP's place. False, the reason logged, otherwise.
bool ClaimWorkingPlace(void);

// Under parent (a directory only administrators can write), makes parent\__Quorvin_Update
// followed by random characters with a protection for Administrators and SYSTEM only, never
// taking a name that stands already, opens it without following links or sharing its deletion,
// checks it through the handle and enters it. place gets its path with a trailing backslash,
// *held the handle. False, nothing entered, otherwise.
bool MakeProtectedPlace(const char* parent, char* place, size_t size, HANDLE* held);

// Under parent, removes the places of earlier runs (all but ours) that only Administrators and
// SYSTEM can use, each opened without following links; anything else there is left alone.
void RemoveEarlierPlaces(const char* parent, const char* ours);

// The place where users are not kept apart: path (with or without its trailing backslash) is
// removed whole, a link as itself, then made and entered; on NT it is held without delete
// sharing, also while it is swept. False, with the current directory as it was, otherwise.
bool EnterSweptPlace(const char* path, HANDLE* held);
