#include "package/gunzip.h"

#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char kProgramName[] = "QuorvinUpdate";
constexpr size_t kNameSize = 1024;
constexpr unsigned kInflateStep = 16384;

[[noreturn]] void Fail(const char* text) {
    fprintf(stderr, "%s: %s\n", kProgramName, text);
    exit(1);
}

}  // namespace

void GunzipFile(const char* name) {
    char input[kNameSize];
    char output[kNameSize];
    size_t length = strlen(name);
    if (length + 4 > kNameSize) Fail("name too long");
    if (length > 3 && strcmp(name + length - 3, ".gz") == 0) {
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
        exit(1);
    }
    FILE* out = fopen(output, "wb");
    if (out == nullptr) {
        fprintf(stderr, "%s: %s\n", output, strerror(errno));
        exit(1);
    }
    static char buffer[kInflateStep];
    for (;;) {
        int got = gzread(in, buffer, kInflateStep);
        if (got < 0) {
            int error = Z_OK;
            Fail(gzerror(in, &error));
        }
        if (got == 0) break;
        if (fwrite(buffer, 1, static_cast<size_t>(got), out) != static_cast<size_t>(got)) {
            Fail("failed fwrite");
        }
    }
    if (fclose(out) != 0) Fail("failed fclose");
    if (gzclose(in) != Z_OK) Fail("failed gzclose");
    remove(input);
}
