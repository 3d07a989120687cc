// The progress window: runs on its own thread and unpacks the package while it initialises.
#pragma once
#include <windows.h>

// Thread routine: runs dialog 117 until it ends.
DWORD WINAPI ProgressWindowThread(LPVOID unused);

// Sets the arrow (done 0) or the check mark (done 1) beside a step control.
void SetStepMark(int controlId, int done);

// Sets a string of the resource module as the status line.
void SetStatusText(UINT stringId);
