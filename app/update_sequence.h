// The ordered run from the entry to power-off.
#pragma once
#include <windows.h>

#include <cstdint>

// Runs the whole update for the command-line text after the program's name; returns the
// process exit code.
uint32_t UpdateSequence(HINSTANCE instance, const char* commandText);
