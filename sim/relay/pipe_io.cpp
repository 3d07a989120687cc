#include "sim/relay/pipe_io.h"

bool PipeIo(HANDLE pipe, bool write, void* bytes, DWORD size) {
    char* at = static_cast<char*>(bytes);
    while (size > 0) {
        DWORD done = 0;
        BOOL ok = write ? WriteFile(pipe, at, size, &done, nullptr)
                        : ReadFile(pipe, at, size, &done, nullptr);
        if (!ok || done == 0) return false;
        at += done;
        size -= done;
    }
    return true;
}
