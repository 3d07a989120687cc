// DMI data handed to the BIOS flasher; the dialog of a DMI-only package.
#pragma once
#include <windows.h>

#include <cstdint>

// Appends the DMI options to the BIOS flasher command line; a DMI-only package first asks for
// the values in dialog 116. 0; 0x8000000e when the options would push the line past 255
// characters (nothing of them is appended, and nothing may be flashed); 0x80000002, after the
// clean-up, when the dialog cannot be shown. Cancel in the dialog deletes the extracted files,
// says "Stop Update" and sets *cancelled: the run then ends with 0 without flashing.
uint32_t RunDmiUpdateMode(char* biosCommand, bool* cancelled);

// Dialog 116: the three values, each accepted only at the length of the machine's own.
INT_PTR CALLBACK DmiSettingDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
