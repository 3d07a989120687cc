// Stands in for a flasher in the child-run tests: writes which file ran, its command line, its
// current directory and the variables of its environment that matter to "child.txt" beside it,
// then ends with the code "child_exit.txt" beside it holds. When "child_tamper.txt" names a file,
// it first tries to write over it and to delete it, and writes into "tamper.txt" which of the two
// the system let through. Its orders come in files: the flasher gets none of the test's variables.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>

namespace {

// The first line of a file beside the program, or "".
void ReadOrder(const char* name, char* text, int size) {
    text[0] = '\0';
    if (FILE* in = fopen(name, "rb")) {
        if (!fgets(text, size, in)) text[0] = '\0';
        fclose(in);
    }
}

}  // namespace

int main() {
    char module[MAX_PATH] = {};
    char directory[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, sizeof module);
    GetCurrentDirectoryA(sizeof directory, directory);
    if (FILE* out = fopen("child.txt", "ab")) {
        fprintf(out, "%s\n%s\n%s\n", module, GetCommandLineA(), directory);
        for (const char* name : {"PATH", "TEMP", "TMP", "SystemRoot", "QV_USER_VARIABLE"}) {
            char value[4096] = {};
            DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
            fprintf(out, "%s=%s\n", name, length ? value : "<unset>");
        }
        fclose(out);
    }
    char tamper[MAX_PATH] = {};
    ReadOrder("child_tamper.txt", tamper, sizeof tamper);
    if (tamper[0]) {
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
    ReadOrder("child_exit.txt", code, sizeof code);
    return static_cast<int>(strtol(code, nullptr, 10));
}
