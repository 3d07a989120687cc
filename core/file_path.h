// A file name put behind the directory GetCurrentDirectoryA reported.
#pragma once
#include <cstddef>
#include <cstdint>

// path (size bytes) starts with a directory of directoryLength characters, as
// GetCurrentDirectoryA(size, path) returned it: 0 when it failed, the size it needs when the
// directory does not fit. Puts "\" + name behind it. False when the call failed, the directory
// does not fit or the whole path does not; nothing is ever written past size.
bool AppendFileName(char* path, size_t size, uint32_t directoryLength, const char* name);
