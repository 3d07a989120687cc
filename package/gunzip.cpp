#include "package/gunzip.h"

#include <fcntl.h>
#include <io.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/debug_log.h"
#include "core/run_context.h"
#include "package/archive_format.h"
#include "platform/os.h"

namespace {

const char kProgramName[] = "QuorvinUpdate";
constexpr size_t kOutputNameSize = 1024;
constexpr unsigned kInflateStep = 16384;

[[noreturn]] void Fail(const char* text) {
    fprintf(stderr, "%s: %s\n", kProgramName, text);
    LogText("Member not inflated", text);
    g_run.exitCode = 1;
    exit(1);
}

// Inflates in into out; false at the first write that falls short.
bool Inflate(gzFile in, FILE* out) {
    static char buffer[kInflateStep];
    for (;;) {
        int got = gzread(in, buffer, kInflateStep);
        if (got < 0) {
            int error = Z_OK;
            Fail(gzerror(in, &error));
        }
        if (got == 0) return true;
        if (fwrite(buffer, 1, static_cast<size_t>(got), out) != static_cast<size_t>(got)) {
            return false;
        }
    }
}

// A file made anew, never written through: a name planted as a link goes first, and a name that
// is back by the time of the create fails it. The name is free on every first run, so the create
// is tried before anything is deleted.
HANDLE CreateAnew(const char* name, DWORD access, DWORD share, DWORD flags) {
    HANDLE file = CreateFileA(name, access, share, nullptr, CREATE_NEW, flags, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) {
        DeleteFileA(name);
        file = CreateFileA(name, access, share, nullptr, CREATE_NEW, flags, nullptr);
    }
    return file;
}

// The plain output, for the C library's writes; errno says why when it cannot be made.
FILE* CreateNew(const char* name) {
    HANDLE file = CreateAnew(name, GENERIC_WRITE, FILE_SHARE_READ, FILE_ATTRIBUTE_NORMAL);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        errno = error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL ? ENOSPC
                : error == ERROR_FILE_EXISTS                                ? EEXIST
                                                                            : EACCES;
        return nullptr;
    }
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(file);
        return nullptr;
    }
    FILE* out = _fdopen(fd, "wb");
    if (out == nullptr) _close(fd);
    return out;
}

// 95, 98 and Me delete nothing on close: the closed member file goes by its name there.
void RemoveClosedMember(const char* name) {
    if (!OsWindowsKind().nt) DeleteFileA(name);
}

}  // namespace

HANDLE CreateMemberFile(const char* name) {
    bool nt = OsWindowsKind().nt;
    return CreateAnew(name, GENERIC_READ | GENERIC_WRITE | (nt ? DELETE : 0), 0,
                      nt ? FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE : FILE_ATTRIBUTE_NORMAL);
}

void CloseMemberFile(const char* name, HANDLE member) {
    CloseHandle(member);
    RemoveClosedMember(name);
}

bool GunzipFile(const char* name, HANDLE member) {
    char input[kOutputNameSize];
    char output[kOutputNameSize];
    size_t length = strlen(name);
    if (length + 4 > kOutputNameSize) Fail("name too long");
    if (HasGzipSuffix(name)) {
        memcpy(input, name, length + 1);
        memcpy(output, name, length - 3);
        output[length - 3] = '\0';
    } else {
        snprintf(input, sizeof input, "%s.gz", name);
        memcpy(output, name, length + 1);
    }

    // The member is read through the handle it was written through, never opened again by name.
    int fd = -1;
    if (member != INVALID_HANDLE_VALUE && SetFilePointer(member, 0, nullptr, FILE_BEGIN) == 0) {
        fd = _open_osfhandle(reinterpret_cast<intptr_t>(member), _O_RDONLY | _O_BINARY);
    }
    gzFile in = fd < 0 ? nullptr : gzdopen(fd, "rb");
    if (in == nullptr) {
        if (fd >= 0) {
            _close(fd);
        } else if (member != INVALID_HANDLE_VALUE) {
            CloseHandle(member);
        }
        fprintf(stderr, "%s: can't gzopen %s\n", kProgramName, input);
        g_run.exitCode = 1;
        exit(1);
    }
    // A file that cannot be written (a loaded driver's, a full disk) is no fault of the member:
    // the caller decides what that means for the run.
    FILE* out = CreateNew(output);
    bool written = out != nullptr && Inflate(in, out);
    if (out != nullptr && fclose(out) != 0) written = false;
    if (!written) {
        fprintf(stderr, "%s: %s\n", output, strerror(errno));
        gzclose(in);
        RemoveClosedMember(input);
        if (out != nullptr) remove(output);
        return false;
    }
    if (gzclose(in) != Z_OK) Fail("failed gzclose");
    RemoveClosedMember(input);
    return true;
}
