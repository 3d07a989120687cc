#include "package/gunzip.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
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

// The output made anew, never written through: a name planted as a link goes first, and a
// name that is back by the time of the create fails it. The name is free on every first run, so
// the create is tried before anything is deleted.
FILE* CreateNew(const char* name) {
    int file = _open(name, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (file < 0 && errno == EEXIST) {
        remove(name);
        file = _open(name, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    }
    if (file < 0) return nullptr;
    FILE* out = _fdopen(file, "wb");
    if (out == nullptr) _close(file);
    return out;
}

// 95, 98 and Me delete nothing on close: the closed member file goes by its name there.
void RemoveClosedMember(const char* name) {
    if (!OsWindowsKind().nt) DeleteFileA(name);
}

}  // namespace

HANDLE CreateMemberFile(const char* name) {
    bool nt = OsWindowsKind().nt;
    DWORD access = GENERIC_READ | GENERIC_WRITE | (nt ? DELETE : 0);
    DWORD flags = nt ? FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE : FILE_ATTRIBUTE_NORMAL;
    HANDLE member = CreateFileA(name, access, 0, nullptr, CREATE_NEW, flags, nullptr);
    if (member == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) {
        DeleteFileA(name);
        member = CreateFileA(name, access, 0, nullptr, CREATE_NEW, flags, nullptr);
    }
    return member;
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
