// DMI data handed to the BIOS flasher; the dialog of a DMI-only package.
#pragma once
#include <cstdint>

// Appends the DMI options to the BIOS flasher command line. 0, or 0x8000000e when they would
// push it past 255 characters (nothing is appended then, and nothing may be flashed).
uint32_t RunDmiUpdateMode(char* biosCommand);
