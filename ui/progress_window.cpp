#include "ui/progress_window.h"

#include "app/debug_log.h"

DWORD WINAPI ProgressWindowThread(LPVOID) { return LogLine("not built: %s", "ProgressWindowThread"), 1; }

void SetStepMark(int, int) { LogLine("not built: %s", "SetStepMark"); }

void SetStatusText(UINT) { LogLine("not built: %s", "SetStatusText"); }
