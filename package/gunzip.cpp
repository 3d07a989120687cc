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
// name that is back by the time of the create fails it.
FILE* CreateNew(const char* name) {
    remove(name);
    int file = _open(name, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (file < 0) return nullptr;
    FILE* out = _fdopen(file, "wb");
    if (out == nullptr) _close(file);
    return out;
}

}  // namespace

bool GunzipFile(const char* name) {
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

    gzFile in = gzopen(input, "rb");
    if (in == nullptr) {
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
        if (out != nullptr) remove(output);
        remove(input);
        return false;
    }
    if (gzclose(in) != Z_OK) Fail("failed gzclose");
    remove(input);
    return true;
}
