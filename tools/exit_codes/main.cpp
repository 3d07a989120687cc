// Prints the exit-code table of docs/deployment.md: exit_codes STRINGS.rc (ui/strings.rc).
#include <cstdio>
#include <fstream>
#include <sstream>

#include "tools/exit_codes/exit_code_table.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: exit_codes STRINGS.rc\n");
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    if (!file) {
        fprintf(stderr, "exit_codes: cannot read %s\n", argv[1]);
        return 1;
    }
    std::ostringstream script;
    script << file.rdbuf();
    std::string error;
    std::string table = ExitCodeTable(script.str(), &error);
    if (!error.empty()) {
        fprintf(stderr, "exit_codes: %s\n", error.c_str());
        return 1;
    }
    fputs(table.c_str(), stdout);
    return 0;
}
