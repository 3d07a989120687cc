#include "app/command_line.h"

const char* SkipProgramName(const char* commandLine) {
    const char* p = commandLine;
    if (*p == '"') {
        ++p;
        while (*p != '\0' && *p != '"') ++p;
        if (*p == '"') ++p;
    } else {
        while (*p != '\0' && *p != ' ' && *p != '\t') ++p;
    }
    while (*p == ' ' || *p == '\t') ++p;
    return p;
}

const char* NextToken(const char* text, size_t* length) {
    while (*text == ' ' || *text == '\t') ++text;
    size_t n = 0;
    while (text[n] != '\0' && text[n] != ' ' && text[n] != '\t') ++n;
    *length = n;
    return text;
}
