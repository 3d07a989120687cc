// Powering the machine off.
#pragma once
#include <windows.h>

// flags go unchanged to ExitWindowsEx.
void ShutdownSystem(UINT flags);
