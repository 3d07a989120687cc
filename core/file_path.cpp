#include "core/file_path.h"

#include <cstdio>

bool AppendFileName(char* path, size_t size, uint32_t directoryLength, const char* name) {
    // Checked first: past a directory that did not fit, there is no room to write at all.
    if (directoryLength == 0 || directoryLength >= size) return false;
    size_t room = size - directoryLength;
    int written = snprintf(path + directoryLength, room, "\\%s", name);
    return written > 0 && static_cast<size_t>(written) < room;
}
