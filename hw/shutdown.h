// Powering the machine off.
#pragma once
#include <windows.h>

// flags go unchanged to ExitWindowsEx; whether the system accepted them.
bool ShutdownSystem(UINT flags);
