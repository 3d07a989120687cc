// A stand-in program that extraction tests pack archives behind, so that the extraction
// operations read the archive from their own program file as the updater does.
//
//   extract_probe package        ExtractPackage on itself; prints "result R flags F"
//   extract_probe packed NAME    ExtractPackedFile(NAME); prints "extracted N"
//   extract_probe driver         ExtractAccessDriverFile; prints "extracted N" and the directory
//   extract_probe gunzip FILE    GunzipFile(FILE); prints "done"
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "app/run_context.h"
#include "package/archive.h"
#include "package/gunzip.h"

int main(int argc, char** argv) {
    if (argc >= 2 && strcmp(argv[1], "package") == 0) {
        char path[MAX_PATH];
        GetModuleFileNameA(nullptr, path, sizeof path);
        uint32_t offset = 0;
        ReadArchiveOffset(path, &offset);
        uint32_t result = ExtractPackage(path, offset);
        printf("result %u flags 0x%X\n", result, static_cast<unsigned>(g_run.runFlags));
        return 0;
    }
    if (argc >= 3 && strcmp(argv[1], "packed") == 0) {
        printf("extracted %d\n", ExtractPackedFile(argv[2]));
        return 0;
    }
    if (argc >= 2 && strcmp(argv[1], "driver") == 0) {
        int extracted = ExtractAccessDriverFile();
        char directory[MAX_PATH];
        GetCurrentDirectoryA(sizeof directory, directory);
        printf("extracted %d in %s\n", extracted, directory);
        return 0;
    }
    if (argc >= 3 && strcmp(argv[1], "gunzip") == 0) {
        GunzipFile(argv[2]);
        printf("done\n");
        return 0;
    }
    fprintf(stderr, "usage: extract_probe package | packed NAME | driver | gunzip FILE\n");
    return 2;
}
