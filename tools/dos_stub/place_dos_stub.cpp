// place_dos_stub PROGRAM.exe UNPACKER.COM OUT.exe: writes OUT.exe, the program with the DOS
// unpacker as its DOS part. OUT may be PROGRAM itself; on a fault OUT is removed, so that a build
// that stopped here links the program again instead of shipping it without its DOS part.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/dos_stub/dos_stub.h"

namespace {

enum { kExitOk = 0, kExitFault = 1, kExitUsage = 2 };

bool ReadAll(const char* path, std::vector<uint8_t>* bytes) {
    FILE* file = fopen(path, "rb");
    if (!file) return false;
    uint8_t chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) bytes->insert(bytes->end(), chunk, chunk + got);
    bool ok = !ferror(file);
    fclose(file);
    return ok;
}

bool WriteAll(const char* path, const std::vector<uint8_t>& bytes) {
    FILE* file = fopen(path, "wb");
    if (!file) return false;
    bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: place_dos_stub PROGRAM.exe UNPACKER.COM OUT.exe\n");
        return kExitUsage;
    }
    std::vector<uint8_t> program, dosProgram, placed;
    std::string error;
    if (!ReadAll(argv[1], &program)) {
        error = std::string(argv[1]) + ": cannot be read";
    } else if (!ReadAll(argv[2], &dosProgram)) {
        error = std::string(argv[2]) + ": cannot be read";
    } else {
        error = PlaceDosStub(program, dosProgram, &placed);
        if (!error.empty()) {
            error = std::string(argv[1]) + ": " + error;
        } else if (!WriteAll(argv[3], placed)) {
            error = std::string(argv[3]) + ": cannot be written";
        }
    }
    if (error.empty()) return kExitOk;
    remove(argv[3]);
    fprintf(stderr, "place_dos_stub: %s\n", error.c_str());
    return kExitFault;
}
