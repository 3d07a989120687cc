// The service mode that saves the installed BIOS ROM instead of updating it.
#pragma once
void ReadBiosRom(const char* fileName);
