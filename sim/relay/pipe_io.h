// Whole transfers over simhw.exe's pipe, for the server and its clients alike.
#pragma once
#include <windows.h>

// Writes or reads all size bytes; false when the pipe breaks first.
bool PipeIo(HANDLE pipe, bool write, void* bytes, DWORD size);
