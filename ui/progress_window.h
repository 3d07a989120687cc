// The progress window: runs on its own thread and unpacks the package while it initialises.
#pragma once
#include <windows.h>

// Window messages of the progress window's own protocol.
// No message from another process starts or stops anything: this one only makes the window's
// block reason follow g_run.flashGuarded, whoever sends it.
constexpr UINT kMsgFlashGuard = WM_USER + 3;

// What Windows shows for the run while it refuses to shut down.
constexpr wchar_t kFlashGuardReason[] = L"BIOS update in progress: do not turn off the computer";

// Thread routine: runs dialog 117 from the resource module until it ends.
DWORD WINAPI ProgressWindowThread(LPVOID unused);

INT_PTR CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Sets the arrow (done 0) or the check mark (done 1) beside a step control.
void SetStepMark(int controlId, int done);

// Sets a string of the resource module as the status line.
void SetStatusText(UINT stringId);

// Draws bitmap at (x, y) with every pixel of the key colour left transparent.
void BlitWithColorKey(HDC dc, HBITMAP bitmap, int x, int y, COLORREF key);
