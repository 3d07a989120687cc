// Stands in for a flasher in the child-run tests: writes which file ran, its command line and
// current directory to "child.txt" beside it, then ends with the code QV_CHILD_EXIT names.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main() {
    char module[MAX_PATH] = {};
    char directory[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, sizeof module);
    GetCurrentDirectoryA(sizeof directory, directory);
    if (FILE* out = fopen("child.txt", "ab")) {
        fprintf(out, "%s\n%s\n%s\n", module, GetCommandLineA(), directory);
        fclose(out);
    }
    char code[16] = {};
    GetEnvironmentVariableA("QV_CHILD_EXIT", code, sizeof code);
    return static_cast<int>(strtol(code, nullptr, 10));
}
