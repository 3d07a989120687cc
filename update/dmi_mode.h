// DMI data handed to the BIOS flasher; the dialog of a DMI-only package.
#pragma once
#include <cstdint>

// May append DMI arguments to the BIOS flasher command line.
uint32_t RunDmiUpdateMode(char* biosCommand);
