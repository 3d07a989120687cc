// Stands in for a flasher in the child-run tests: writes which file ran, its command line, its
// current directory and its PATH to "child.txt" beside it, then ends with the code QV_CHILD_EXIT names.
// When QV_CHILD_TAMPER names a file, it first tries to write over it and to delete it, and
// writes into "tamper.txt" which of the two the system let through.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main() {
    char module[MAX_PATH] = {};
    char directory[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, sizeof module);
    GetCurrentDirectoryA(sizeof directory, directory);
    char path[4096] = {};
    GetEnvironmentVariableA("PATH", path, sizeof path);
    if (FILE* out = fopen("child.txt", "ab")) {
        fprintf(out, "%s\n%s\n%s\n%s\n", module, GetCommandLineA(), directory, path);
        fclose(out);
    }
    char tamper[MAX_PATH] = {};
    if (GetEnvironmentVariableA("QV_CHILD_TAMPER", tamper, sizeof tamper) > 0) {
        HANDLE file = CreateFileA(tamper, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        bool written = file != INVALID_HANDLE_VALUE;
        if (written) CloseHandle(file);
        bool deleted = DeleteFileA(tamper) != 0;
        if (FILE* out = fopen("tamper.txt", "wb")) {
            fprintf(out, "write %s, delete %s\n", written ? "let through" : "refused", deleted ? "let through" : "refused");
            fclose(out);
        }
    }
    char code[16] = {};
    GetEnvironmentVariableA("QV_CHILD_EXIT", code, sizeof code);
    return static_cast<int>(strtol(code, nullptr, 10));
}
